#include "print_backend.h"

namespace orvik {

std::string JoinPages(const std::vector<std::string>& pages) {
  std::string text;
  for (std::size_t i = 0; i < pages.size(); ++i) {
    if (i > 0) text += '\f';
    text += pages[i];
  }
  return text;
}

}  // namespace orvik
