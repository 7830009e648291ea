// A test helper: two ports of this process each add 1 to a counter item N times, with
// RReadU and WWrite, retrying while another session holds the item.
//
//   counter HOME USER PASSWORD FILEVARIABLE N [SLOT [hold]]
//
// Attribute 1 of the item is the count. With SLOT, each port also counts its own increments
// in attribute 2 + 2 * SLOT + port (in the same write), so that a test can tell what every
// port did. With "hold", after its N rounds the process reads the item for update once more,
// prints "holding" and waits, the lock held, to be killed.

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "port.h"
#include "port_access.h"

namespace {

using namespace orvik::port_access;

std::vector<std::string> Attributes(const std::string& item) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = item.find('\xFE', start);
    out.push_back(item.substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos) return out;
    start = end + 1;
  }
}

std::string Incremented(const std::string& item, int ownAttribute) {
  std::vector<std::string> a = Attributes(item);
  if (static_cast<int>(a.size()) < ownAttribute) a.resize(static_cast<std::size_t>(ownAttribute));
  const auto bump = [](std::string& v) { v = std::to_string((v.empty() ? 0 : std::stol(v)) + 1); };
  bump(a[0]);
  if (ownAttribute > 1) bump(a[static_cast<std::size_t>(ownAttribute - 1)]);
  std::string out;
  for (std::size_t i = 0; i < a.size(); ++i) out += (i ? "\xFE" : "") + a[i];
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 6 || argc > 8) {
    std::fprintf(stderr, "usage: counter HOME USER PASSWORD FILEVARIABLE N [SLOT [hold]]\n");
    return 2;
  }
  const std::string home = argv[1], user = argv[2], password = argv[3], fv = argv[4];
  const int n = std::stoi(argv[5]);
  const int slot = argc > 6 ? std::stoi(argv[6]) : -1;
  const bool hold = argc > 7 && std::string(argv[7]) == "hold";
  const std::string account = fv.substr(0, fv.find('.'));
  std::shared_ptr<orvik::Port> ports[2];
  for (auto& p : ports) {
    p = orvik::Port::Create(home);
    SetLogin(*p, user, password);
    if (!ConnectAccount(*p, "dm") || !ValidateLogin(*p) || !ConnectAccount(*p, account)) {
      std::fprintf(stderr, "login: %s\n", p->ErrorDetail().c_str());
      return 1;
    }
  }
  std::mt19937 random(std::random_device{}());
  // Reads the item for update, retrying while another session holds it.
  const auto readForUpdate = [&](orvik::Port& p, orvik::Variant& item) {
    for (int tries = 0;; ++tries) {
      if (p.RReadU(item, orvik::Variant(fv), orvik::Variant("COUNTER"))) return true;
      if (p.ErrorDetail() != "[920] Another user has this item locked" || tries > 20000) {
        std::fprintf(stderr, "read: %s\n", p.ErrorDetail().c_str());
        return false;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(random() % 2000));
    }
  };
  for (int i = 0; i < n; ++i) {
    for (int k = 0; k < 2; ++k) {
      orvik::Port& p = *ports[k];
      orvik::Variant item;
      if (!readForUpdate(p, item)) return 1;
      const std::string next = Incremented(item.ToString(), slot < 0 ? 1 : 2 + 2 * slot + k);
      if (!p.WWrite(next, fv, "COUNTER")) {
        std::fprintf(stderr, "write: %s\n", p.ErrorDetail().c_str());
        return 1;
      }
    }
  }
  if (hold) {
    orvik::Variant item;
    if (!readForUpdate(*ports[0], item)) return 1;
    std::printf("holding\n");
    std::fflush(stdout);
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(60));
  }
  return 0;
}
