#include "date_order.h"

#include <langinfo.h>
#include <locale.h>

#include <atomic>
#include <cstring>
#include <string>

namespace orvik {
namespace {

// -1: no override; 0 or 1: the fixed answer.
std::atomic<int> gOverride{-1};

// True when the month comes before the day in a strftime date format. Composite
// conversions are expanded as the C library defines them.
bool MonthBeforeDay(const std::string& format) {
  std::size_t month = std::string::npos, day = std::string::npos;
  for (std::size_t i = 0; i + 1 < format.size(); ++i) {
    if (format[i] != '%') continue;
    char c = format[i + 1];
    if (c == 'E' || c == 'O') {
      if (i + 2 >= format.size()) break;
      c = format[i + 2];
    }
    if (c == 'D') return true;  // %m/%d/%y
    if (c == 'F') return true;  // %Y-%m-%d
    if ((c == 'm' || c == 'b' || c == 'B' || c == 'h') && month == std::string::npos) month = i;
    if ((c == 'd' || c == 'e') && day == std::string::npos) day = i;
    ++i;
  }
  if (month == std::string::npos || day == std::string::npos) return true;
  return month < day;
}

}  // namespace

bool DateOrderProbe() {
  const int fixed = gOverride.load();
  if (fixed >= 0) return fixed == 1;
  locale_t loc = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
  if (loc == static_cast<locale_t>(0)) loc = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
  if (loc == static_cast<locale_t>(0)) return true;
  const std::string format = nl_langinfo_l(D_FMT, loc);
  freelocale(loc);
  return MonthBeforeDay(format);
}

void SetDateOrderOverride(std::optional<bool> monthFirst) {
  gOverride.store(monthFirst ? (*monthFirst ? 1 : 0) : -1);
}

}  // namespace orvik
