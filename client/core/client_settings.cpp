#include "client_settings.h"

#include <utility>

namespace orvik::client {

std::string FolderWithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

ClientSettings::ClientSettings(std::string homeFolder)
    : engineHome(homeFolder), pathHome(FolderWithSlash(std::move(homeFolder))) {}

}  // namespace orvik::client
