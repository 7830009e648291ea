// The servers a setting names: one, or several nodes of a cluster to try in turn.
//
//   "db1"                       one server, on the default port
//   "db1,db2:3307, [fd00::3]"   three: names or addresses, each with a port of its own or the
//                               default one; an IPv6 address goes between brackets
//
// Blanks around a name are dropped, and so are empty entries.

#ifndef ORVIK_ENGINE_DATASTORE_SERVER_LIST_H_
#define ORVIK_ENGINE_DATASTORE_SERVER_LIST_H_

#include <string>
#include <string_view>
#include <vector>

namespace orvik {

struct ServerAddress {
  std::string host;
  std::string port;  // as given, or the default; empty when that is empty too
  // "host:port", or the host alone without a port; an IPv6 host between brackets.
  std::string Shown() const;
};

// The servers of `servers` in their order. Throws VbError for an entry without a host or
// with a port that is no number from 1 to 65535.
std::vector<ServerAddress> ParseServerList(std::string_view servers, std::string_view defaultPort);

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_SERVER_LIST_H_
