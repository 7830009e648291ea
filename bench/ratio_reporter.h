// Benchmarks report ratios against a plain baseline measured in the same run: absolute
// times say more about the machine than about the code.

#ifndef ORVIK_BENCH_RATIO_REPORTER_H_
#define ORVIK_BENCH_RATIO_REPORTER_H_

#include <string>
#include <utility>
#include <vector>

namespace orvik::bench {

// (subject, baseline) benchmark names; "name#counter" names a counter of a benchmark.
using RatioPairs = std::vector<std::pair<std::string, std::string>>;

// What a ratio compares. CPU time hides every wait for a disk or a network, so benchmarks
// that reach either compare wall-clock time.
enum class Clock { kCpu, kWall };

// Runs every registered benchmark, then prints "subject / baseline = N.NNx" per pair (a pair
// whose benchmarks did not both run is left out), and the counters "ratio" (of the means) and
// "median_ratio" of a benchmark that times two things in turn and reports their ratio itself.
int RunWithRatios(int argc, char** argv, const RatioPairs& pairs, Clock clock = Clock::kCpu);

}  // namespace orvik::bench

#endif  // ORVIK_BENCH_RATIO_REPORTER_H_
