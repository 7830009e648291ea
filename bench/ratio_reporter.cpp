#include "ratio_reporter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <utility>

namespace orvik::bench {
namespace {

// The benchmark's name without the settings Google Benchmark appends ("/min_time:0.300",
// "/repeats:3", "/real_time"), as pairs name it.
std::string PlainName(std::string name) {
  for (const std::string tail : {"/real_time", "/min_time:", "/repeats:"}) {
    const std::size_t at = name.find(tail);
    if (at == std::string::npos) continue;
    const std::size_t end = name.find('/', at + 1);
    name.erase(at, end == std::string::npos ? std::string::npos : end - at);
  }
  return name;
}

// The counters in which a benchmark that times two things in turn reports their ratio, and
// what each compares.
constexpr std::pair<const char*, const char*> kOwnRatios[] = {
    {"ratio", "its two parts, taken in turn"},
    {"median_ratio", "their medians, taken in turn"},
};

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  explicit RatioReporter(Clock clock) : clock_(clock) {}
  // A benchmark run more than once counts by its median, which one disturbed repetition
  // (another program's disk sync, say) does not move.
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      const bool median = r.run_type == Run::RT_Aggregate && r.aggregate_name == "median";
      const std::string name = PlainName(r.run_name.str());
      if (median) medians_.insert(name);
      if ((median ||
           (r.run_type == Run::RT_Iteration && r.iterations > 0 && medians_.count(name) == 0))) {
        perIteration_[name] =
            clock_ == Clock::kWall ? r.GetAdjustedRealTime() : r.GetAdjustedCPUTime();
        for (const auto& [counter, value] : r.counters) perIteration_[name + "#" + counter] = value;
      }
      for (const auto& [counter, label] : kOwnRatios) {
        const auto ratio = r.counters.find(counter);
        if (ratio != r.counters.end() && (median || r.run_type == Run::RT_Iteration))
          ownRatios_[{name, label}] = ratio->second.value;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  const std::map<std::string, double>& times() const { return perIteration_; }
  // (benchmark, what its ratio compares) -> the ratio.
  const std::map<std::pair<std::string, std::string>, double>& ownRatios() const {
    return ownRatios_;
  }

 private:
  Clock clock_;
  std::map<std::string, double> perIteration_;
  std::map<std::pair<std::string, std::string>, double> ownRatios_;
  std::set<std::string> medians_;
};

}  // namespace

int RunWithRatios(int argc, char** argv, const RatioPairs& pairs, Clock clock) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter(clock);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nratios (%s time per iteration, same run):\n",
              clock == Clock::kWall ? "wall-clock" : "CPU");
  for (const auto& [subject, baseline] : pairs) {
    const auto s = reporter.times().find(subject);
    const auto b = reporter.times().find(baseline);
    if (s == reporter.times().end() || b == reporter.times().end() || b->second <= 0) continue;
    std::printf("  %-36s / %-36s = %6.2fx\n", subject.c_str(), baseline.c_str(),
                s->second / b->second);
  }
  for (const auto& [what, ratio] : reporter.ownRatios())
    std::printf("  %-36s (%s)%*s = %6.2fx\n", what.first.c_str(), what.second.c_str(),
                static_cast<int>(30 - what.second.size()), "", ratio);
  benchmark::Shutdown();
  return 0;
}

}  // namespace orvik::bench
