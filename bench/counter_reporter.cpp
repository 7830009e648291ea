#include "counter_reporter.h"

namespace orvik::bench {

void CounterReporter::ReportRuns(const std::vector<Run>& runs) {
  for (const Run& r : runs) {
    for (const auto& [name, counter] : r.counters)
      counters_[r.benchmark_name()][name] = counter.value;
  }
  ConsoleReporter::ReportRuns(runs);
}

double CounterReporter::Get(const std::string& prefix, const std::string& counter) const {
  for (const auto& [name, values] : counters_) {
    if (name.rfind(prefix, 0) != 0) continue;
    const auto it = values.find(counter);
    if (it != values.end()) return it->second;
  }
  return -1;
}

}  // namespace orvik::bench
