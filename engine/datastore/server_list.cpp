#include "server_list.h"

#include <charconv>

#include "driver.h"
#include "text.h"
#include "vb_error.h"

namespace orvik {
namespace {

[[noreturn]] void BadEntry(std::string_view entry) {
  throw VbError(dberr::kUnspecified, "Invalid server \"" + std::string(entry) + "\"");
}

void CheckPort(std::string_view port, std::string_view entry) {
  unsigned value = 0;
  const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
  if (port.empty() || ec != std::errc() || end != port.data() + port.size() || value == 0 ||
      value > 65535)
    BadEntry(entry);
}

ServerAddress ParseEntry(std::string_view entry, std::string_view defaultPort) {
  ServerAddress a;
  std::string_view rest;
  if (entry.front() == '[') {
    const std::size_t close = entry.find(']');
    if (close == std::string_view::npos || close == 1) BadEntry(entry);
    a.host = std::string(entry.substr(1, close - 1));
    rest = entry.substr(close + 1);
    if (!rest.empty() && rest.front() != ':') BadEntry(entry);
  } else {
    const std::size_t colon = entry.find(':');
    // Two colons and no brackets: an IPv6 address alone.
    if (colon != std::string_view::npos && entry.find(':', colon + 1) != std::string_view::npos) {
      a.host = std::string(entry);
    } else {
      a.host = std::string(entry.substr(0, colon));
      if (colon != std::string_view::npos) rest = entry.substr(colon);
    }
  }
  if (a.host.empty()) BadEntry(entry);
  if (!rest.empty()) {
    a.port = std::string(rest.substr(1));
    CheckPort(a.port, entry);
  } else {
    a.port = std::string(defaultPort);
  }
  return a;
}

}  // namespace

std::string ServerAddress::Shown() const {
  const std::string name = host.find(':') != std::string::npos ? "[" + host + "]" : host;
  return port.empty() ? name : name + ":" + port;
}

std::vector<ServerAddress> ParseServerList(std::string_view servers,
                                           std::string_view defaultPort) {
  std::vector<ServerAddress> out;
  for (const std::string& part : SplitAt(servers, ',')) {
    const std::string_view entry = TrimBlanks(part);
    if (!entry.empty()) out.push_back(ParseEntry(entry, defaultPort));
  }
  return out;
}

}  // namespace orvik
