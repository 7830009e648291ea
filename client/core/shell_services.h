// What a screen form uses of the client's frame (the main form): the one way to the
// engine, the busy flag, the stack of screen forms, the monitor window, the end of the
// program, and the shared context the transmission readers use.
//
// GUI thread only. Send never waits for the answer: it arrives later through the poll
// loop. Wherever the program ends, the engine port is released before anything else, so the
// session's item locks and its line in the user registry go with it; the calls that end it
// return, and the program ends once the caller's event handler has returned. ClientShell
// implements it.

#ifndef ORVIK_CLIENT_CORE_SHELL_SERVICES_H_
#define ORVIK_CLIENT_CORE_SHELL_SERVICES_H_

#include <cstdint>
#include <string>

#include "event_pump.h"
#include "screen_form.h"
#include "shell_context.h"

namespace orvik::client {

class ShellServices {
 public:
  virtual ~ShellServices() = default;

  virtual ShellContext& Context() = 0;
  virtual EventPump& Pump() = 0;
  // CellHeight: one line of the 80 x 26 raster, in twips (CellWidth is in the context).
  virtual float CellHeight() const = 0;

  // DataToSend = text, then SendData: the text goes to the engine as one piece of input,
  // with the pending DataPrefix in front of it.
  virtual void Send(std::string text) = 0;

  // AwaitingReply, with the busy pointer that goes with it.
  virtual bool AwaitingReply() const = 0;
  virtual void SetAwaitingReply(bool awaiting) = 0;
  // The hourglass over the client's windows, or the normal pointer, leaving the flag.
  virtual void SetBusyPointer(bool busy) = 0;

  // The top index of SubformStack: 0 while only the first screen form exists (also while
  // it is being created), -1 before.
  virtual std::int32_t SubformTop() const = 0;
  // msRemoteHost and mlRemotePort, for the screen form's caption.
  virtual std::string RemoteHost() const = 0;
  virtual std::int32_t RemotePort() const = 0;

  // The traffic monitor's window, not modal.
  virtual void ShowMonitor() = 0;
  // The form unloaded itself (the engine confirmed a log-off): the first screen form's
  // unload ends the program, a sub-form leaves the stack.
  virtual void ScreenFormUnloaded(ScreenForm& form) = 0;
  // The program ends at once (the user chose the emergency exit, or the server reported a
  // condition it cannot go on from): the port is released first, nothing more is sent.
  virtual void EmergencyExit() = 0;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_SHELL_SERVICES_H_
