#include "home.h"

#include "engine_home.h"
#include "port.h"

namespace orvik {

std::shared_ptr<Home> Home::Open(HomeOptions options) {
  if (options.path.empty()) options.path = EngineHome();
  return std::shared_ptr<Home>(new Home(std::move(options)));
}

std::shared_ptr<Home> Home::Open(const std::string& path) {
  HomeOptions options;
  options.path = path;
  return Open(std::move(options));
}

Home::Home(HomeOptions options) : options_(std::move(options)) {}

std::shared_ptr<Port> Home::MakePort() const {
  PortOptions options;
  options.home = options_.path;
  options.drivers = options_.drivers;
  options.printing = options_.printing;
  return Port::Create(std::move(options));
}

}  // namespace orvik
