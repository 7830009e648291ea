// Massaging a page of long lines into ASP text, at n lines and at 2n. Every line is broken
// at its commas, so the page changes all through; a linear massage costs about twice as
// much at 2n, one that rebuilds the page at each break four times.

#include "html_massage.h"

#include <benchmark/benchmark.h>

#include <string>

#include "ratio_reporter.h"
#include "string_works.h"

namespace {

constexpr int kSmall = 5000;
constexpr int kLarge = 2 * kSmall;

std::string Page(int lines) {
  std::string page = "<html><head><title>T</title></head>\r\n<body>\r\n";
  for (int i = 0; i < lines; ++i) {
    page += "<td class=\"c\">" + std::to_string(i) + ",alpha,beta,gamma,delta,epsilon," +
            "zeta,eta,theta</td>\r\n";
  }
  return page + "</body></html>\r\n";
}

void BM_HtmlToAsp_LongLines(benchmark::State& state) {
  const std::string page = Page(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(orvik::massage::HtmlToAsp(page));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
}
BENCHMARK(BM_HtmlToAsp_LongLines)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond);

// One replacing pass over the same page: work that any massage does several times over.
void BM_Baseline_OneReplacingPass(benchmark::State& state) {
  const std::string page = Page(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(orvik::massage::ReplaceAll(page, ",", ",\r\n"));
}
BENCHMARK(BM_Baseline_OneReplacingPass)->Arg(kLarge)->Unit(benchmark::kMillisecond);

std::string Name(const char* benchmark, int size) {
  return std::string(benchmark) + "/" + std::to_string(size);
}

}  // namespace

int main(int argc, char** argv) {
  return orvik::bench::RunWithRatios(
      argc, argv,
      {{Name("BM_HtmlToAsp_LongLines", kLarge), Name("BM_HtmlToAsp_LongLines", kSmall)},
       {Name("BM_HtmlToAsp_LongLines", kLarge), Name("BM_Baseline_OneReplacingPass", kLarge)}});
}
