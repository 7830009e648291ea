#include "ratio_reporter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

namespace orvik::bench {
namespace {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.run_type == Run::RT_Iteration && r.iterations > 0)
        cpuPerIteration_[r.benchmark_name()] = r.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  const std::map<std::string, double>& times() const { return cpuPerIteration_; }

 private:
  std::map<std::string, double> cpuPerIteration_;
};

}  // namespace

int RunWithRatios(int argc, char** argv, const RatioPairs& pairs) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nratios (CPU time per iteration, same run):\n");
  for (const auto& [subject, baseline] : pairs) {
    const auto s = reporter.times().find(subject);
    const auto b = reporter.times().find(baseline);
    if (s == reporter.times().end() || b == reporter.times().end() || b->second <= 0) continue;
    std::printf("  %-32s / %-28s = %6.2fx\n", subject.c_str(), baseline.c_str(),
                s->second / b->second);
  }
  benchmark::Shutdown();
  return 0;
}

}  // namespace orvik::bench
