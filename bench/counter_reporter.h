// A console reporter that also keeps every run's counters, for a summary a benchmark program
// prints after its runs (the client's and the console's figures against their baselines).

#ifndef ORVIK_BENCH_COUNTER_REPORTER_H_
#define ORVIK_BENCH_COUNTER_REPORTER_H_

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace orvik::bench {

class CounterReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override;
  // The counter `counter` of the first run whose name starts with `prefix`; -1 if none has it.
  double Get(const std::string& prefix, const std::string& counter) const;

 private:
  std::map<std::string, std::map<std::string, double>> counters_;
};

}  // namespace orvik::bench

#endif  // ORVIK_BENCH_COUNTER_REPORTER_H_
