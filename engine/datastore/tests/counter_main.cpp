// A test helper: two ports of this process each add 1 to a counter item N times, with
// RReadU and WWrite, retrying while another session holds the item.
//
//   counter HOME USER PASSWORD FILEVARIABLE N

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>

#include "port.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 6) {
    std::fprintf(stderr, "usage: counter HOME USER PASSWORD FILEVARIABLE N\n");
    return 2;
  }
  const std::string home = argv[1], user = argv[2], password = argv[3], fv = argv[4];
  const int n = std::stoi(argv[5]);
  const std::string account = fv.substr(0, fv.find('.'));
  std::shared_ptr<orvik::Port> ports[2];
  for (auto& p : ports) {
    p = orvik::Port::Create(home);
    p->SetLogin(user, password);
    if (!p->ConnectAccount("dm") || !p->ValidateLogin() || !p->ConnectAccount(account)) {
      std::fprintf(stderr, "login: %s\n", p->ErrorDetail().c_str());
      return 1;
    }
  }
  std::mt19937 random(std::random_device{}());
  for (int i = 0; i < n; ++i) {
    for (auto& p : ports) {
      for (int tries = 0;; ++tries) {
        orvik::Variant item;
        if (p->RReadU(item, orvik::Variant(fv), orvik::Variant("COUNTER"))) {
          const long value = std::stol(item.ToString());
          if (!p->WWrite(std::to_string(value + 1), fv, "COUNTER")) {
            std::fprintf(stderr, "write: %s\n", p->ErrorDetail().c_str());
            return 1;
          }
          break;
        }
        if (p->ErrorDetail() != "[920] Another user has this item locked" || tries > 20000) {
          std::fprintf(stderr, "read: %s\n", p->ErrorDetail().c_str());
          return 1;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 2000));
      }
    }
  }
  return 0;
}
