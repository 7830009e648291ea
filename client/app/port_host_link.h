// The client's engine link over the engine's host adapter: its one port, on a thread of its
// own (see engine/host/port_host.h for the threads and the port's end).

#ifndef ORVIK_CLIENT_APP_PORT_HOST_LINK_H_
#define ORVIK_CLIENT_APP_PORT_HOST_LINK_H_

#include "engine_link.h"
#include "port_host.h"

namespace orvik::client {

class PortHostLink final : public EngineLink {
 public:
  explicit PortHostLink(PortHost& host) : host_(host) {}

  void Send(const std::string& text, bool echoed) override { host_.Input(text, echoed); }
  std::string TakeOutput() override { return host_.TakeOutput(); }
  bool HungUp() const override { return host_.HungUp(); }
  void Release() override { host_.Release(); }
  bool Released() const override { return host_.Released(); }

 private:
  PortHost& host_;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_APP_PORT_HOST_LINK_H_
