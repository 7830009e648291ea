// Whole programs in the styles real code uses convert with nothing dropped or garbled: every
// label kept and every jump's target there, every comment a comment, every block closed.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "program_check.h"
#include "source_files.h"
#include "test_files.h"

namespace orvik::massage {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> CorpusPrograms() {
  std::vector<fs::path> found;
  for (const auto& entry : fs::directory_iterator(ORVIK_CORPUS_DIR)) {
    if (entry.path().extension() == ".bas") found.push_back(entry.path());
  }
  std::sort(found.begin(), found.end());
  return found;
}

std::string Notes(const corpus::ProgramCounts& counts) {
  std::string r;
  for (const std::string& note : counts.notes) r += "\n  " + note;
  return r;
}

class Corpus : public ::testing::TestWithParam<fs::path> {};

TEST_P(Corpus, NothingDroppedOrGarbled) {
  std::vector<std::string> source = SplitLines(testing::ReadFile(GetParam()));
  ASSERT_GE(source.size(), 40u);
  corpus::ProgramCounts counts = corpus::ConvertAndCheck(source);
  EXPECT_EQ(counts.labelsLost, 0);
  EXPECT_EQ(counts.commentsAsCode, 0);
  EXPECT_EQ(counts.unbalancedBlocks, 0);
  EXPECT_EQ(counts.untranslated, 0);
  EXPECT_EQ(counts.Total(), 0) << Notes(counts);
}

INSTANTIATE_TEST_SUITE_P(Programs, Corpus, ::testing::ValuesIn(CorpusPrograms()),
                         [](const ::testing::TestParamInfo<fs::path>& info) {
                           return info.param.stem().string();
                         });

// The checks find what they are for, so that a clean corpus means something.
TEST(CorpusCheck, FindsEachKindOfFault) {
  std::vector<std::string> source = {"START: X = 1", "* note",     "IF A THEN", "GOSUB MISSING",
                                     "END",          "X = Y[1,2]", "END"};
  std::vector<std::string> result = {"START , False\r\nX = 1",
                                     "FMT(note)",
                                     "IF A THEN",
                                     "GOSUB MISSING",
                                     "Exit Sub  ' === END ===",
                                     "X = Y [ 1 , 2 ]",
                                     "Exit Sub  ' === END ==="};
  corpus::ProgramCounts counts = corpus::CheckProgram(source, result);
  EXPECT_EQ(counts.labelsLost, 2) << Notes(counts);  // START, and MISSING's target
  EXPECT_EQ(counts.commentsAsCode, 1) << Notes(counts);
  EXPECT_EQ(counts.unbalancedBlocks, 2) << Notes(counts);  // code after Exit Sub; If open
  EXPECT_EQ(counts.untranslated, 1) << Notes(counts);
}

}  // namespace
}  // namespace orvik::massage
