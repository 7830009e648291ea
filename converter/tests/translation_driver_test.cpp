#include "translation_driver.h"

#include <gtest/gtest.h>

#include <string>

#include "source_files.h"
#include "test_files.h"

namespace orvik::massage {
namespace {

using testing::Listing;
using testing::ReadFile;
using testing::ScratchFolder;
using testing::WriteFile;

namespace fs = std::filesystem;

TEST(VbOutputPath, TxtIsReplacedAnythingElseKept) {
  EXPECT_EQ(VbOutputPath("/d/PROG.txt"), fs::path("/d/PROG_VBconv.txt"));
  EXPECT_EQ(VbOutputPath("/d/PROG.TXT"), fs::path("/d/PROG_VBconv.txt"));
  EXPECT_EQ(VbOutputPath("/d/PROG"), fs::path("/d/PROG_VBconv.txt"));
  EXPECT_EQ(VbOutputPath("/d/PROG.BAS"), fs::path("/d/PROG.BAS_VBconv.txt"));
  EXPECT_EQ(VbOutputPath("/a.b/PROG"), fs::path("/a.b/PROG_VBconv.txt"));
  EXPECT_EQ(VbOutputPath("PROG.txt"), fs::path("PROG_VBconv.txt"));
}

class Driver : public ::testing::Test {
 protected:
  ConversionResult Convert(const fs::path& input) {
    names.AddInput(input);
    return PBtoVB(input, translator, monitor, names);
  }
  ScratchFolder dir;
  OutputNames names;
  StatementTranslator translator;
  TranslationMonitor monitor;
};

TEST_F(Driver, OneLineSourceEndsWithEndSub) {
  WriteFile(dir / "P.txt", "X = 1");
  ConversionResult r = Convert(dir / "P.txt");
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.output, dir / "P_VBconv.txt");
  EXPECT_EQ(r.lines, 1);
  EXPECT_EQ(ReadFile(r.output), "X = 1\r\nEnd Sub\r\n");
  EXPECT_EQ(ReadFile(dir / "P.txt"), "X = 1");
}

TEST_F(Driver, MonitorShowsHeaderTranslationsAndEndSub) {
  WriteFile(dir / "P", "X = 1\nCRT X\n");
  ASSERT_TRUE(Convert(dir / "P").ok);
  std::string rule = "'" + std::string(50, '=');
  EXPECT_EQ(monitor.Text(),
            "'Conversion from DATABASIC to VB - result displayed below\r\n"
            "'Writing result to file \"" +
                (dir / "P_VBconv.txt").string() + "\"\r\n" + rule +
                "\r\n'\r\nX = 1\r\nCRT X\r\nEnd Sub");
}

TEST_F(Driver, LineEndsOfEveryKindConvertAlike) {
  const std::string expected = "X = 1\r\n  \r\nCRT X\r\nEnd Sub\r\n";
  for (const char* source :
       {"X = 1\r\n\r\nCRT X\r\n", "X = 1\n\nCRT X\n", "X = 1\r\rCRT X\r", "X = 1\n\nCRT X"}) {
    WriteFile(dir / "P", source);
    ConversionResult r = Convert(dir / "P");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(ReadFile(r.output), expected);
    EXPECT_EQ(r.lines, 3);
  }
}

TEST_F(Driver, EmptyInputWritesNothing) {
  WriteFile(dir / "P", "");
  ConversionResult r = Convert(dir / "P");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("empty"), std::string::npos);
  EXPECT_EQ(Listing(dir.path()), "P");
}

TEST_F(Driver, MissingInputIsReportedAndWritesNothing) {
  ConversionResult r = Convert(dir / "NOPE");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("cannot be opened"), std::string::npos) << r.error;
  EXPECT_EQ(Listing(dir.path()), "");
}

TEST_F(Driver, FolderIsNotASource) {
  fs::create_directory(dir / "D");
  ConversionResult r = Convert(dir / "D");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(Listing(dir.path()), "D");
}

// A source is a few kilobytes. One past the bound, or a device that never ends, is refused
// once the bound is read, before it fills the memory.
TEST_F(Driver, SourceOverTheBoundIsRefused) {
  WriteFile(dir / "P", "X = 1\n");
  fs::resize_file(dir / "P", kMaxSourceBytes + 1);
  ConversionResult r = Convert(dir / "P");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, "is larger than 64 MiB: too large to convert");
  EXPECT_EQ(Listing(dir.path()), "P");

  r = Convert("/dev/zero");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("too large to convert"), std::string::npos) << r.error;
}

TEST_F(Driver, FailedWriteIsReportedAndLeavesNoPartialFile) {
  // A source whose result name is longer than a file name may be.
  const std::string name(250, 'P');
  WriteFile(dir / name, "X = 1\n");
  ConversionResult r = Convert(dir / name);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("cannot create"), std::string::npos) << r.error;
  EXPECT_EQ(Listing(dir.path()), name);
}

TEST_F(Driver, EarlierResultIsReplacedWholeAnyOtherFileKept) {
  WriteFile(dir / "P_VBconv.txt", std::string(5000, 'z') + "\r\nEnd Sub\r\n");
  WriteFile(dir / "P", "X = 1\n");
  ASSERT_TRUE(Convert(dir / "P").ok);
  EXPECT_EQ(ReadFile(dir / "P_VBconv.txt"), "X = 1\r\nEnd Sub\r\n");
  EXPECT_EQ(Listing(dir.path()), "P P_VBconv.txt");

  WriteFile(dir / "Q_VBconv.txt", std::string(5000, 'z'));
  WriteFile(dir / "Q", "X = 2\n");
  ConversionResult r = Convert(dir / "Q");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.output, dir / "Q_VBconv_2.txt");
  EXPECT_EQ(r.passedOver, "Q_VBconv.txt is not a result of OrvikMassage");
  EXPECT_EQ(ReadFile(dir / "Q_VBconv.txt"), std::string(5000, 'z'));
  EXPECT_EQ(ReadFile(dir / "Q_VBconv_2.txt"), "X = 2\r\nEnd Sub\r\n");
}

TEST_F(Driver, NeverWritesOverItsInputThroughALink) {
  WriteFile(dir / "P", "X = 1\n");
  fs::create_symlink(dir / "P", dir / "P_VBconv.txt");
  ConversionResult r = Convert(dir / "P");
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.output, dir / "P_VBconv_2.txt");
  EXPECT_EQ(ReadFile(dir / "P"), "X = 1\n");
  EXPECT_TRUE(fs::is_symlink(dir / "P_VBconv.txt"));
}

TEST_F(Driver, SecondConversionStartsAfresh) {
  WriteFile(dir / "A", "BEGIN CASE\nLOOP\nIF X THEN\nFOR I = 1 TO 2 UNTIL Q\n");
  WriteFile(dir / "B", "CASE A = 1\nEXIT\nEND\nNEXT I\n");
  ASSERT_TRUE(Convert(dir / "A").ok);
  ASSERT_TRUE(Convert(dir / "B").ok);
  EXPECT_EQ(ReadFile(dir / "B_VBconv.txt"),
            "ElseIf A = 1 Then\r\nEXIT\r\nExit Sub  ' === END ===\r\nNEXT I\r\nEnd Sub\r\n");
}

TEST(TranslationMonitor, BigJobBlockOnceThenRowsOfDots) {
  TranslationMonitor m;
  std::string appended;
  m.onAppend = [&](const std::string& s) { appended += s; };
  m.Begin("/x/P_VBconv.txt");
  std::string line(98, 'a');  // 100 characters with its CR LF
  int shown = 0;
  while (m.Text().size() < kMonitorCapacity) {
    m.AddTranslation(line);
    ++shown;
  }
  std::size_t full = m.Text().size();
  std::string rule = "'" + std::string(50, '=');
  m.AddTranslation(line);
  std::string block = rule +
                      "\r\n'Big Job --> can't display any more in this monitor,\r\n"
                      "'but Conversion to disk file is continuing OK ...\r\n";
  EXPECT_EQ(m.Text().substr(full), block);
  for (int i = 0; i < 103; ++i) m.AddTranslation(line);
  m.Finish();
  std::string row = std::string(kDotsPerRow, '.') + "\r\n";
  EXPECT_EQ(m.Text().substr(full), block + row + row + ".\r\nEnd Sub");
  // Everything behind the header reached the window as appended text.
  EXPECT_EQ(appended, m.Text().substr(m.Text().find("'\r\n" + line) + 3));
  EXPECT_GT(shown, 190);
}

TEST(TranslationMonitor, FullRowOfDotsNeedsNoExtraLineEnd) {
  TranslationMonitor m;
  m.Begin("/x/P");
  m.AddTranslation(std::string(kMonitorCapacity, 'a'));
  m.AddTranslation("b");  // the block
  for (int i = 0; i < kDotsPerRow; ++i) m.AddTranslation("c");
  m.Finish();
  EXPECT_TRUE(m.Text().ends_with(std::string(kDotsPerRow, '.') + "\r\nEnd Sub"));
}

TEST(TranslationMonitor, BeginReplacesTheText) {
  TranslationMonitor m;
  std::string replaced;
  m.onReplace = [&](const std::string& s) { replaced = s; };
  m.Begin("/x/A");
  m.AddTranslation("X");
  m.Begin("/x/B");
  EXPECT_EQ(m.Text(), replaced);
  EXPECT_EQ(m.Text().find("X\r\n"), std::string::npos);
  EXPECT_NE(m.Text().find("/x/B"), std::string::npos);
}

}  // namespace
}  // namespace orvik::massage
