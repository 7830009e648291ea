// Applications by ProgID: plugin libraries registered in plugins.ini in the engine home
// (orvik_plugin.h describes a plugin). Only a registered library is ever loaded, by the
// path written there.

#ifndef ORVIK_ENGINE_SCRIPT_PLUGIN_HOST_H_
#define ORVIK_ENGINE_SCRIPT_PLUGIN_HOST_H_

#include <memory>
#include <string>
#include <string_view>

#include "dispatch.h"

namespace orvik {

// The library registered for `progId` (without regard to case) in `home`/plugins.ini, as
// an absolute path (a relative one starts at `home`); empty when it is not registered.
std::string PluginLibraryPath(const std::string& home, std::string_view progId);

// A new object of the application `progId`. Raises 429 when the ProgID is not registered
// or its library cannot be loaded or makes no object.
std::shared_ptr<Dispatch> CreatePluginObject(const std::string& home, std::string_view progId);

}  // namespace orvik

#endif  // ORVIK_ENGINE_SCRIPT_PLUGIN_HOST_H_
