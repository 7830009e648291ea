// The demo application on a test's engine home: scripts/demo/demo.js and the products grid
// it runs (products.js) copied in and catalogued as DEMO and PRODUCTS in a new account. For tests
// that link orvik_setup and are given ORVIK_DEMO_DIR.

#ifndef ORVIK_CLIENT_CORE_TESTING_DEMO_HOME_H_
#define ORVIK_CLIENT_CORE_TESTING_DEMO_HOME_H_

#include <filesystem>
#include <string>

#include "setup.h"

namespace orvik::client {

// `user` and `password` make that user too when not empty. False, with the reason in
// `error`, when the home could not be set up.
inline bool SetUpDemoHome(const std::filesystem::path& home, const std::string& account,
                          const std::string& user, const std::string& password,
                          std::string* error) {
  for (const char* program : {"demo.js", "products.js"}) {
    std::filesystem::copy_file(std::filesystem::path(ORVIK_DEMO_DIR) / program, home / program,
                               std::filesystem::copy_options::overwrite_existing);
  }
  SetupOptions o;
  o.home = home.string();
  o.user = user;
  o.password = password;
  o.accounts = {account};
  o.catalog = {{account, "DEMO", "JavaScript", "demo.js DEMO"},
               {account, "PRODUCTS", "JavaScript", "products.js PRODUCTS"}};
  return RunSetup(
      o, [](const std::string&) {}, error);
}

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_TESTING_DEMO_HOME_H_
