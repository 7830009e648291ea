// Small figures the benchmarks report: milliseconds of the steady clock, percentiles.

#ifndef ORVIK_BENCH_STATS_H_
#define ORVIK_BENCH_STATS_H_

#include <chrono>
#include <vector>

namespace orvik::bench {

using SteadyClock = std::chrono::steady_clock;

double Ms(SteadyClock::duration d);
// The value at `p` (0..1) of `v`'s order; 0 for none.
double Percentile(std::vector<double> v, double p);

}  // namespace orvik::bench

#endif  // ORVIK_BENCH_STATS_H_
