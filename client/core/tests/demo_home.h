// A home for the tests that run the demo application: user demo with password demo, and an
// account shop in which the demo (scripts/demo/demo.js, copied in) is catalogued as DEMO.
// For tests that link the set-up; `demoDir` is the folder of demo.js.

#ifndef ORVIK_CLIENT_CORE_TESTS_DEMO_HOME_H_
#define ORVIK_CLIENT_CORE_TESTS_DEMO_HOME_H_

#include <filesystem>
#include <string>

#include "setup.h"

namespace orvik::client {

// Sets up `home` (which exists); false with the reason in `error` when the set-up fails.
inline bool SetUpDemoHome(const std::filesystem::path& home, const std::filesystem::path& demoDir,
                          std::string* error) {
  std::filesystem::copy_file(demoDir / "demo.js", home / "demo.js",
                             std::filesystem::copy_options::overwrite_existing);
  SetupOptions o;
  o.home = home.string();
  o.user = "demo";
  o.password = "demo";
  o.accounts = {"shop"};
  o.catalog = {{"shop", "DEMO", "JavaScript", "demo.js DEMO"}};
  return RunSetup(
      o, [](const std::string&) {}, error);
}

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_TESTS_DEMO_HOME_H_
