#include "this_boot.h"

#include <fstream>

namespace orvik {

std::string ThisBoot() {
  std::ifstream in("/proc/sys/kernel/random/boot_id");
  std::string id;
  std::getline(in, id);
  return id;
}

}  // namespace orvik
