// The dynamic-array and conversion functions against plain scans and copies of the same
// bytes: how much of their cost is the work any implementation must do.

#include <benchmark/benchmark.h>

#include <charconv>
#include <string>

#include "byte_scan.h"
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

// The least any scan must do: the marks counted, or the one wanted found, a block of bytes at
// a time with the library's own vectorised scan (byte_scan.h), and what was found copied out.
// What the functions take beyond these is their own.
std::string FindAndCopy(const std::string& s, char mark, std::size_t wanted) {
  const std::size_t at = orvik::NthByte(s, mark, wanted);
  const std::size_t from = at == std::string::npos ? s.size() : at + 1;
  const std::size_t end = s.find(mark, from);
  return s.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

void BM_Baseline_FindLastAttribute(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(FindAndCopy(Item(), orvik::kAttributeMark, 9999));
}
BENCHMARK(BM_Baseline_FindLastAttribute);

void BM_Extract_LastAttribute(benchmark::State& state) {
  Functions f(true);
  for (auto _ : state) benchmark::DoNotOptimize(f.Extract(Item(), 10000));
}
BENCHMARK(BM_Extract_LastAttribute);

void BM_Baseline_ScanItem(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(orvik::CountByte(Item(), orvik::kAttributeMark));
}
BENCHMARK(BM_Baseline_ScanItem);

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
    const std::size_t at = orvik::NthByte(item, orvik::kAttributeMark, 4999);
    std::string copy = item;
    benchmark::DoNotOptimize(at);
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
  // Values searched per second: a billion divided by it is the nanoseconds per value.
  state.SetItemsProcessed(state.iterations() * 100000);
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

void BM_Baseline_ScanList(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(orvik::CountByte(ValueList(), orvik::kValueMark));
}
BENCHMARK(BM_Baseline_ScanList);

// Growing a list one value at a time with RReplace(list, -1, value): each call copies the
// list, so n appends cost n^2/2 bytes. A program that builds a long list appends to its own
// text instead (list & Chr(253) & value), or gathers the values and joins them once.
void BM_Append_RReplace(benchmark::State& state) {
  Functions f(true);
  const auto n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    std::string list;
    for (int i = 0; i < n; ++i) {
      std::string value(1, 'K');
      value += std::to_string(i);
      list = f.RReplace(list, 1, -1, Variant(value));
    }
    benchmark::DoNotOptimize(list);
  }
}
BENCHMARK(BM_Append_RReplace)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond);

void BM_Baseline_AppendInPlace(benchmark::State& state) {
  const auto n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    std::string list;
    for (int i = 0; i < n; ++i) {
      if (i) list.push_back(orvik::kValueMark);
      list.push_back('K');
      list += std::to_string(i);
    }
    benchmark::DoNotOptimize(list);
  }
}
BENCHMARK(BM_Baseline_AppendInPlace)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond);

constexpr int kConversions = 1000;

void BM_OConv_D2Slash(benchmark::State& state) {
  Functions f(true);
  std::string days[kConversions];
  for (int i = 0; i < kConversions; ++i) days[i] = std::to_string(10000 + i * 7);
  for (auto _ : state) {
    for (const auto& d : days) benchmark::DoNotOptimize(f.OConv(d, "D2/"));
  }
  state.SetItemsProcessed(state.iterations() * kConversions);
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

// Day numbers (day 0 is 31 December 1967) as MM/DD/YY, written by hand: the civil date
// from the day count, then six digits and two slashes.
void BM_Baseline_DateFormatter(benchmark::State& state) {
  std::string days[kConversions];
  for (int i = 0; i < kConversions; ++i) days[i] = std::to_string(10000 + i * 7);
  for (auto _ : state) {
    for (const auto& d : days) {
      long n = 0;
      std::from_chars(d.data(), d.data() + d.size(), n);
      // Days since 1 March 0000, then the year, month and day of the proleptic calendar.
      const long z = n + 718731 - 60;
      const long era = z / 146097, doe = z - era * 146097;
      const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
      const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
      const long mp = (5 * doy + 2) / 153;
      const long day = doy - (153 * mp + 2) / 5 + 1, month = mp < 10 ? mp + 3 : mp - 9;
      const long year = yoe + era * 400 + (month <= 2);
      char out[8] = {
          static_cast<char>('0' + month / 10),     static_cast<char>('0' + month % 10), '/',
          static_cast<char>('0' + day / 10),       static_cast<char>('0' + day % 10),   '/',
          static_cast<char>('0' + year / 10 % 10), static_cast<char>('0' + year % 10)};
      std::string text(out, 8);
      benchmark::DoNotOptimize(text);
    }
  }
  state.SetItemsProcessed(state.iterations() * kConversions);
}
BENCHMARK(BM_Baseline_DateFormatter);

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
  return orvik::bench::RunWithRatios(
      argc, argv,
      {{"BM_Extract_LastAttribute", "BM_Baseline_FindLastAttribute"},
       {"BM_Extract_LastAttribute", "BM_Baseline_ScanItem"},
       {"BM_RReplace_Middle", "BM_Baseline_CopyItem"},
       {"BM_RReplace_Middle", "BM_Baseline_ScanHalfAndCopy"},
       {"BM_Locate_LastOf100k", "BM_Baseline_ScanList"},
       {"BM_Locate_NumericOrder", "BM_Baseline_ScanList"},
       {"BM_OConv_D2Slash", "BM_Baseline_DateFormatter"},
       {"BM_OConv_D2Slash", "BM_Baseline_ParseAndFormat"},
       {"BM_Append_RReplace/10000", "BM_Baseline_AppendInPlace/10000"},
       {"BM_Append_RReplace/40000", "BM_Baseline_AppendInPlace/40000"},
       {"BM_Append_RReplace/40000", "BM_Append_RReplace/10000"},
       {"BM_OConv_MR2Comma", "BM_Baseline_ParseAndFormat"}});
}
