// Where the private MariaDB test server listens, and its administrator's login, as
// scripts/mariadb-test-server wrote them to $ORVIK_MARIADB_TEST_DIR/connection. Needs nothing
// of the engine, so that the benchmarks' hand-written code can reach the server too.

#ifndef ORVIK_ENGINE_DATASTORE_MARIADB_TESTS_TEST_SERVER_ADDRESS_H_
#define ORVIK_ENGINE_DATASTORE_MARIADB_TESTS_TEST_SERVER_ADDRESS_H_

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>

namespace orvik::mariadb_test {

struct ServerAddress {
  std::string host;
  std::string port;
  std::string socket;
  std::string user;
  std::string password;
};

// Reads $ORVIK_MARIADB_TEST_DIR/connection.
inline ServerAddress LoadServerAddress() {
  const char* dir = std::getenv("ORVIK_MARIADB_TEST_DIR");
  if (dir == nullptr || *dir == '\0') {
    throw std::runtime_error(
        "ORVIK_MARIADB_TEST_DIR is not set: run this test through ctest, which starts the "
        "private MariaDB server (the \"mariadb\" fixture)");
  }
  std::string path = std::string(dir) + "/connection";
  std::ifstream in(path);
  if (!in) {
    throw std::runtime_error("cannot read " + path +
                             ": the private MariaDB server is not running (see the output of "
                             "the mariadb_server_start test)");
  }
  ServerAddress info;
  std::string line;
  while (std::getline(in, line)) {
    std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = line.substr(0, eq);
    std::string value = line.substr(eq + 1);
    if (key == "host") info.host = value;
    if (key == "port") info.port = value;
    if (key == "socket") info.socket = value;
    if (key == "user") info.user = value;
    if (key == "password") info.password = value;
  }
  if (info.port.empty() || info.socket.empty() || info.user.empty()) {
    throw std::runtime_error(path + " is incomplete");
  }
  return info;
}

}  // namespace orvik::mariadb_test

#endif  // ORVIK_ENGINE_DATASTORE_MARIADB_TESTS_TEST_SERVER_ADDRESS_H_
