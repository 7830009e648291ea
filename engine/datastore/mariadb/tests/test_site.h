// Where the cluster tests run: the private Galera cluster (scripts/galera-test-cluster, the
// "galera" fixture: ORVIK_GALERA_TEST_DIR), or, for the same tests on one server, the private
// MariaDB server (ORVIK_MARIADB_TEST_DIR), whose one node every console then reaches.
// Failures throw, which fails the test that asked.

#ifndef ORVIK_ENGINE_DATASTORE_MARIADB_TESTS_TEST_SITE_H_
#define ORVIK_ENGINE_DATASTORE_MARIADB_TESTS_TEST_SITE_H_

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "mariadb_test_server.h"

namespace orvik::mariadb_test {

class TestSite {
 public:
  TestSite() {
    const char* galera = std::getenv("ORVIK_GALERA_TEST_DIR");
    if (galera == nullptr || *galera == '\0') {
      const ServerInfo one = LoadServerInfo();
      nodes_.push_back(one.host + ":" + one.port);
      return;
    }
    dir_ = galera;
    std::ifstream in(dir_ + "/connection");
    if (!in) throw std::runtime_error("cannot read " + dir_ + "/connection: no cluster runs");
    std::string line, host = "127.0.0.1";
    std::vector<std::pair<int, std::string>> ports;
    while (std::getline(in, line)) {
      const std::size_t eq = line.find('=');
      if (eq == std::string::npos) continue;
      const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
      if (key == "host") host = value;
      if (key.size() > 4 && key.rfind("port", 0) == 0)
        ports.emplace_back(std::stoi(key.substr(4)), value);
    }
    std::sort(ports.begin(), ports.end());
    for (const auto& [n, port] : ports) nodes_.push_back(host + ":" + port);
    if (nodes_.size() < 2) throw std::runtime_error(dir_ + "/connection names no cluster");
  }

  bool Cluster() const { return !dir_.empty(); }
  // Node n (from 1) as a settings file names a server: "127.0.0.1:port". One server is every
  // node.
  std::string Node(int n) const { return nodes_.at(Cluster() ? n - 1 : 0); }

  // Kills node n as a power cut would; starts it again, and waits until it has rejoined.
  void Kill(int n) const { Run("kill", n); }
  void Restart(int n) const { Run("restart", n); }

 private:
  void Run(const std::string& action, int n) const {
    const char* script = std::getenv("ORVIK_GALERA_SCRIPT");
    if (!Cluster() || script == nullptr) throw std::runtime_error("no cluster to " + action);
    const std::string command =
        std::string(script) + " " + action + " " + dir_ + " " + std::to_string(n) + " >&2";
    if (std::system(command.c_str()) != 0) throw std::runtime_error(command + " failed");
  }

  std::string dir_;
  std::vector<std::string> nodes_;
};

}  // namespace orvik::mariadb_test

#endif  // ORVIK_ENGINE_DATASTORE_MARIADB_TESTS_TEST_SITE_H_
