// The parts behind a Port, each owning its state, and who calls whom.
//
//   Port (port.h): the published face; forwards each member to the part that carries it out
//    |
//    +- Session (session/session.h): input by state, login dialogue, TCL verbs, sentences,
//    |    paging, the end of a program's run; ErrorDetail, TermType, SelectArray, XCommon
//    |    |  calls: Terminal, AccountConnection, Login, LockTable, Printer, ProgramRunner
//    +- Terminal (session/terminal.h): state, type-ahead, output sink, echo, waits; the only
//    |    part other threads touch (with the StopSwitch)
//    +- AccountConnection (account/account_connection.h): connections, catalog, tables
//    +- LockTable (account/lock_table.h): item locks          calls: AccountConnection
//    +- Login (account/login.h): identity, its line of the home's user registry
//    |                                                        calls: AccountConnection, LockTable
//    +- ItemStore (account/item_store.h): files, items, the write check
//    |                                                        calls: AccountConnection, LockTable
//    +- Printer (print/printer.h): devices, jobs, print hold  calls: its backend, a hold store
//    +- ProgramRunner (script/program_runner.h): script engines, plugins, the deferred runner
//                                                             calls: the session's end of a run
//
// Not part of the published face: the engine's own code and tests reach a part through
// PartsOf. Port's thread only, as the parts themselves.

#ifndef ORVIK_ENGINE_PORT_PARTS_H_
#define ORVIK_ENGINE_PORT_PARTS_H_

#include <memory>
#include <string>

#include "account_connection.h"
#include "item_store.h"
#include "lock_table.h"
#include "login.h"
#include "printer.h"
#include "program_runner.h"
#include "session.h"
#include "stop_switch.h"
#include "terminal.h"

class QObject;

namespace orvik {

class Port;
struct PortOptions;

struct PortParts {
  // The parts of `port`, made with `options` on the port's thread.
  PortParts(Port& port, PortOptions options);
  ~PortParts();
  PortParts(const PortParts&) = delete;
  PortParts& operator=(const PortParts&) = delete;

  const std::string home;
  // Thrown by Abort; what may run long registers with it.
  const std::shared_ptr<StopSwitch> stop = StopSwitch::Make();
  Terminal terminal;
  AccountConnection account;
  LockTable locks;
  Login login;
  ItemStore items;
  Printer printer;
  ProgramRunner programs;
  Session session;
  // Lives on the port's thread; queued host calls are delivered through it.
  const std::unique_ptr<QObject> context;
};

PortParts& PartsOf(Port& port);

}  // namespace orvik

#endif  // ORVIK_ENGINE_PORT_PARTS_H_
