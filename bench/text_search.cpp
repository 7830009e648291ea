// The searches behind DCount, Index and PropertyParse on their worst inputs: a long
// delimiter or name that nearly matches everywhere. Each runs at a size n and at 2n; a
// linear search costs about twice as much at 2n, a quadratic one four times, so the
// "2n / n" ratios show a regression whatever the machine's speed.

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "functions.h"
#include "ratio_reporter.h"

namespace {

using orvik::Functions;

constexpr int kSmall = 40000;
constexpr int kLarge = 2 * kSmall;

// A text of n characters 'a' with a delimiter of n/2 of them: every offset of the first
// half is an overlapping match.
void BM_DCount_SelfSimilarDelimiter(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const std::string text(n, 'a'), delimiter(n / 2, 'a');
  Functions f(true);
  for (auto _ : state) benchmark::DoNotOptimize(f.DCount(text, delimiter));
}
BENCHMARK(BM_DCount_SelfSimilarDelimiter)->Arg(kSmall)->Arg(kLarge);

// Case-blind: a needle of n/2 'A's ending in 'b' agrees with the text up to its last
// character at every offset, and is found nowhere.
void BM_Index_NearMissEverywhere(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const std::string text(n, 'a');
  const std::string needle = std::string(n / 2, 'A') + "b";
  Functions f(true);
  for (auto _ : state) benchmark::DoNotOptimize(f.Index(text, needle, 1));
}
BENCHMARK(BM_Index_NearMissEverywhere)->Arg(kSmall)->Arg(kLarge);

void BM_PropertyParse_NearMissEverywhere(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const orvik::Variant text(std::string(n, 'a'));
  const orvik::Variant name(std::string(n / 2, 'A'));  // "AAA...A=" is nowhere in the text
  const orvik::Variant delimiter(";");
  Functions f(true);
  for (auto _ : state) benchmark::DoNotOptimize(f.PropertyParse(text, name, delimiter));
}
BENCHMARK(BM_PropertyParse_NearMissEverywhere)->Arg(kSmall)->Arg(kLarge);

// Reading every character once: the least any search of the text must do.
void BM_Baseline_ReadEveryCharacter(benchmark::State& state) {
  const std::string text(static_cast<std::size_t>(state.range(0)), 'a');
  for (auto _ : state) {
    unsigned sum = 0;
    for (char c : text) sum += static_cast<unsigned char>(c);
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_Baseline_ReadEveryCharacter)->Arg(kLarge);

std::string Name(const char* benchmark, int size) {
  return std::string(benchmark) + "/" + std::to_string(size);
}

}  // namespace

int main(int argc, char** argv) {
  orvik::bench::RatioPairs pairs;
  for (const char* b : {"BM_DCount_SelfSimilarDelimiter", "BM_Index_NearMissEverywhere",
                        "BM_PropertyParse_NearMissEverywhere"}) {
    pairs.emplace_back(Name(b, kLarge), Name(b, kSmall));  // about 2 when linear, 4 when not
    pairs.emplace_back(Name(b, kLarge), Name("BM_Baseline_ReadEveryCharacter", kLarge));
  }
  return orvik::bench::RunWithRatios(argc, argv, pairs);
}
