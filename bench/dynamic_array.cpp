// The dynamic-array and conversion functions against plain scans and copies of the same
// bytes: how much of their cost is the work any implementation must do.

#include <benchmark/benchmark.h>

#include <charconv>
#include <cstring>
#include <string>

#include "functions.h"
#include "ratio_reporter.h"

namespace {

using orvik::Functions;
using orvik::Variant;

std::string MakeItem(int attributes) {
  std::string s;
  for (int i = 1; i <= attributes; ++i) {
    if (i > 1) s.push_back(orvik::kAttributeMark);
    s += "value" + std::to_string(i);
  }
  return s;
}

std::string MakeValueList(int values) {
  std::string s;
  for (int i = 0; i < values; ++i) {
    if (i > 0) s.push_back(orvik::kValueMark);
    char buf[16];
    std::snprintf(buf, sizeof buf, "K%07d", i);
    s += buf;
  }
  return s;
}

const std::string& Item() {
  static const std::string item = MakeItem(10000);
  return item;
}

const std::string& ValueList() {
  static const std::string list = MakeValueList(100000);
  return list;
}

// Counting marks with memchr: the least any scan of the item must do.
std::size_t MemchrCount(const std::string& s, char mark) {
  std::size_t n = 0;
  const char* p = s.data();
  const char* end = p + s.size();
  while ((p = static_cast<const char*>(std::memchr(p, mark, end - p))) != nullptr) {
    ++n;
    ++p;
  }
  return n;
}

void BM_Extract_LastAttribute(benchmark::State& state) {
  Functions f(true);
  for (auto _ : state) benchmark::DoNotOptimize(f.Extract(Item(), 10000));
}
BENCHMARK(BM_Extract_LastAttribute);

void BM_Baseline_MemchrScanItem(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(MemchrCount(Item(), orvik::kAttributeMark));
}
BENCHMARK(BM_Baseline_MemchrScanItem);

void BM_RReplace_Middle(benchmark::State& state) {
  Functions f(true);
  const Variant v("replacement");
  for (auto _ : state) benchmark::DoNotOptimize(f.RReplace(Item(), 5000, v));
}
BENCHMARK(BM_RReplace_Middle);

void BM_Baseline_CopyItem(benchmark::State& state) {
  for (auto _ : state) {
    std::string copy = Item();
    benchmark::DoNotOptimize(copy);
  }
}
BENCHMARK(BM_Baseline_CopyItem);

// What any replace in the middle must do: find the attribute, then copy the item.
void BM_Baseline_ScanHalfAndCopy(benchmark::State& state) {
  const std::string& item = Item();
  for (auto _ : state) {
    const char* p = item.data();
    for (int i = 1; i < 5000; ++i)
      p = static_cast<const char*>(
              std::memchr(p, orvik::kAttributeMark, item.data() + item.size() - p)) +
          1;
    std::string copy = item;
    benchmark::DoNotOptimize(p);
    benchmark::DoNotOptimize(copy);
  }
}
BENCHMARK(BM_Baseline_ScanHalfAndCopy);

void BM_Locate_LastOf100k(benchmark::State& state) {
  Functions f(true);
  for (auto _ : state) {
    Variant d[] = {Variant()};
    benchmark::DoNotOptimize(f.Locate("K0099999", "", ValueList(), d));
  }
}
BENCHMARK(BM_Locate_LastOf100k);

void BM_Locate_NumericOrder(benchmark::State& state) {
  Functions f(true);
  static const std::string numbers = [] {
    std::string s;
    for (int i = 0; i < 100000; ++i) {
      if (i > 0) s.push_back(orvik::kValueMark);
      s += std::to_string(i * 2);
    }
    return s;
  }();
  for (auto _ : state) {
    Variant d[] = {Variant("BY"), Variant("AR"), Variant()};
    benchmark::DoNotOptimize(f.Locate("199999", "", numbers, d));
  }
}
BENCHMARK(BM_Locate_NumericOrder);

void BM_Baseline_MemchrScanList(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(MemchrCount(ValueList(), orvik::kValueMark));
}
BENCHMARK(BM_Baseline_MemchrScanList);

constexpr int kConversions = 1000;

void BM_OConv_D2Slash(benchmark::State& state) {
  Functions f(true);
  std::string days[kConversions];
  for (int i = 0; i < kConversions; ++i) days[i] = std::to_string(10000 + i * 7);
  for (auto _ : state) {
    for (const auto& d : days) benchmark::DoNotOptimize(f.OConv(d, "D2/"));
  }
}
BENCHMARK(BM_OConv_D2Slash);

void BM_OConv_MR2Comma(benchmark::State& state) {
  Functions f(true);
  std::string amounts[kConversions];
  for (int i = 0; i < kConversions; ++i) amounts[i] = std::to_string(123456789 + i * 977);
  for (auto _ : state) {
    for (const auto& a : amounts) benchmark::DoNotOptimize(f.OConv(a, "MR2,"));
  }
}
BENCHMARK(BM_OConv_MR2Comma);

// Reading the same numbers and writing them back as text: the floor of any conversion.
void BM_Baseline_ParseAndFormat(benchmark::State& state) {
  std::string amounts[kConversions];
  for (int i = 0; i < kConversions; ++i) amounts[i] = std::to_string(123456789 + i * 977);
  for (auto _ : state) {
    for (const auto& a : amounts) {
      long v = 0;
      std::from_chars(a.data(), a.data() + a.size(), v);
      std::string out(16, '\0');
      auto r = std::to_chars(out.data(), out.data() + out.size(), v);
      out.resize(r.ptr - out.data());
      benchmark::DoNotOptimize(out);
    }
  }
}
BENCHMARK(BM_Baseline_ParseAndFormat);

}  // namespace

int main(int argc, char** argv) {
  return orvik::bench::RunWithRatios(argc, argv,
                                     {{"BM_Extract_LastAttribute", "BM_Baseline_MemchrScanItem"},
                                      {"BM_RReplace_Middle", "BM_Baseline_CopyItem"},
                                      {"BM_RReplace_Middle", "BM_Baseline_ScanHalfAndCopy"},
                                      {"BM_Locate_LastOf100k", "BM_Baseline_MemchrScanList"},
                                      {"BM_Locate_NumericOrder", "BM_Baseline_MemchrScanList"},
                                      {"BM_OConv_D2Slash", "BM_Baseline_ParseAndFormat"},
                                      {"BM_OConv_MR2Comma", "BM_Baseline_ParseAndFormat"}});
}
