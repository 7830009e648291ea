// Every source under golden/ converts to exactly its expected result: PICK BASIC sources
// (*.bas) to Visual Basic (*.vb), HTML pages (*.htm) to ASP code (*.asp).

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "html_massage.h"
#include "test_files.h"
#include "translation_driver.h"

namespace orvik::massage {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::ScratchFolder;

std::vector<fs::path> Sources(const fs::path& folder, const char* extension) {
  std::vector<fs::path> found;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == extension) found.push_back(entry.path());
  }
  std::sort(found.begin(), found.end());
  return found;
}

std::vector<fs::path> Sources(const char* folder, const char* extension) {
  return Sources(fs::path(ORVIK_GOLDEN_DIR) / folder, extension);
}

// The corpus programs that have their expected result beside them.
std::vector<fs::path> CorpusGoldens() {
  std::vector<fs::path> found = Sources(fs::path(ORVIK_CORPUS_DIR), ".bas");
  std::erase_if(
      found, [](const fs::path& p) { return !fs::exists(fs::path(p).replace_extension(".vb")); });
  return found;
}

std::string NameOf(const ::testing::TestParamInfo<fs::path>& info) {
  return info.param.stem().string();
}

// The converted file's first differing line, for a readable failure.
std::string FirstDifference(const std::string& got, const std::string& want) {
  std::size_t i = 0;
  while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
  std::size_t line = static_cast<std::size_t>(std::count(want.begin(), want.begin() + i, '\n')) + 1;
  std::size_t from = want.rfind('\n', i == 0 ? 0 : i - 1);
  from = from == std::string::npos ? 0 : from + 1;
  return "line " + std::to_string(line) + ": want [" +
         want.substr(from, want.find('\r', from) - from) + "] got [" +
         got.substr(from, got.find('\r', from) - from) + "]";
}

class GoldenBasic : public ::testing::TestWithParam<fs::path> {};

TEST_P(GoldenBasic, ConvertsToItsExpectedVisualBasic) {
  ScratchFolder dir;
  fs::path source = dir / GetParam().filename().string();
  fs::copy_file(GetParam(), source);
  StatementTranslator translator;
  TranslationMonitor monitor;
  OutputNames names;
  names.AddInput(source);
  ConversionResult r = PBtoVB(source, translator, monitor, names);
  ASSERT_TRUE(r.ok) << r.error;
  std::string want = ReadFile(fs::path(GetParam()).replace_extension(".vb"));
  ASSERT_FALSE(want.empty());
  std::string got = ReadFile(r.output);
  EXPECT_TRUE(got == want) << FirstDifference(got, want);
}

INSTANTIATE_TEST_SUITE_P(Sources, GoldenBasic, ::testing::ValuesIn(Sources("basic", ".bas")),
                         NameOf);
INSTANTIATE_TEST_SUITE_P(Corpus, GoldenBasic, ::testing::ValuesIn(CorpusGoldens()), NameOf);

class GoldenHtml : public ::testing::TestWithParam<fs::path> {};

TEST_P(GoldenHtml, MassagesToItsExpectedAsp) {
  ScratchFolder dir;
  fs::path page = dir / GetParam().filename().string();
  fs::copy_file(GetParam(), page);
  OutputNames names;
  names.AddInput(page);
  MassageResult r = MassageHtmlFile(page, names);
  ASSERT_TRUE(r.ok) << r.error;
  std::string want = ReadFile(fs::path(GetParam()).replace_extension(".asp"));
  ASSERT_FALSE(want.empty());
  std::string got = ReadFile(r.output);
  EXPECT_TRUE(got == want) << FirstDifference(got, want);
}

INSTANTIATE_TEST_SUITE_P(Pages, GoldenHtml, ::testing::ValuesIn(Sources("html", ".htm")), NameOf);

TEST(Golden, LineEndsOfEveryKindGiveOneResult) {
  fs::path basic = fs::path(ORVIK_GOLDEN_DIR) / "basic";
  std::string lf = ReadFile(basic / "line_ends_lf.vb");
  EXPECT_EQ(ReadFile(basic / "line_ends_crlf.vb"), lf);
  EXPECT_EQ(ReadFile(basic / "line_ends_cr.vb"), lf);
  fs::path html = fs::path(ORVIK_GOLDEN_DIR) / "html";
  EXPECT_EQ(ReadFile(html / "cr_page.asp"), ReadFile(html / "crlf_page.asp"));
}

}  // namespace
}  // namespace orvik::massage
