#include "command_line.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "test_files.h"

namespace orvik::massage {
namespace {

using testing::Listing;
using testing::ReadFile;
using testing::ScratchFolder;
using testing::WriteFile;

class CommandLine : public ::testing::Test {
 protected:
  int Run(const std::vector<std::string>& args) {
    out.str("");
    err.str("");
    return ConvertFiles(args, out, err);
  }
  ScratchFolder dir;
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(CommandLine, ConvertsEachFileByItsKind) {
  WriteFile(dir / "PROG.txt", "CRT 'HI'\n");
  WriteFile(dir / "page.HTML", "<body>\n<p>x</p>\n");
  WriteFile(dir / "OTHER", "X = 1\n");
  std::string prog = (dir / "PROG.txt").string();
  std::string page = (dir / "page.HTML").string();
  std::string other = (dir / "OTHER").string();
  EXPECT_EQ(Run({prog, page, other}), 0);
  EXPECT_EQ(out.str(), prog + " -> " + (dir / "PROG_VBconv.txt").string() + "\n" + page + " -> " +
                           (dir / "page.txt").string() + "\n" + other + " -> " +
                           (dir / "OTHER_VBconv.txt").string() + "\n");
  EXPECT_EQ(err.str(), "");
  EXPECT_EQ(ReadFile(dir / "PROG_VBconv.txt"), "CRT \"HI\"\r\nEnd Sub\r\n");
  EXPECT_EQ(ReadFile(dir / "page.txt"),
            "Response.Write \"<html>\"\r\nResponse.Write \"<body>\" & vbCrLf\r\n"
            "Response.Write \"<p>x</p>\" & vbCrLf\r\nResponse.Write \"\"\r\n");
}

TEST_F(CommandLine, FailuresAreReportedAndTheRestStillConverts) {
  WriteFile(dir / "empty", "");
  WriteFile(dir / "nobody.htm", "<p>x</p>");
  WriteFile(dir / "good", "X = 1\n");
  EXPECT_EQ(Run({(dir / "missing").string(), (dir / "empty").string(),
                 (dir / "nobody.htm").string(), (dir / "good").string()}),
            1);
  std::string e = err.str();
  EXPECT_NE(e.find("missing: cannot be opened"), std::string::npos) << e;
  EXPECT_NE(e.find("empty: is empty"), std::string::npos) << e;
  EXPECT_NE(e.find("nobody.htm: File has no \"<body>\" tag"), std::string::npos) << e;
  EXPECT_EQ(out.str(),
            (dir / "good").string() + " -> " + (dir / "good_VBconv.txt").string() + "\n");
  EXPECT_EQ(Listing(dir.path()), "empty good good_VBconv.txt nobody.htm");
}

TEST_F(CommandLine, EachFileStartsWithAFreshTranslator) {
  WriteFile(dir / "A", "LOOP\nBEGIN CASE\nIF X THEN\n");
  WriteFile(dir / "B", "EXIT\nCASE 2\nEND\n");
  EXPECT_EQ(Run({(dir / "A").string(), (dir / "B").string()}), 0);
  EXPECT_EQ(ReadFile(dir / "B_VBconv.txt"),
            "EXIT\r\nElseIf 2 Then\r\nExit Sub  ' === END ===\r\nEnd Sub\r\n");
}

TEST_F(CommandLine, NoResultReplacesAnInputOfTheRun) {
  const std::string program = "CRT 'HI'\n";
  const std::string page = "<body>\n<p>x</p>\n";
  for (bool pageFirst : {false, true}) {
    SCOPED_TRACE(pageFirst ? "page first" : "program first");
    ScratchFolder d;
    WriteFile(d / "INVOICE.txt", program);
    WriteFile(d / "INVOICE.htm", page);
    const std::string txt = (d / "INVOICE.txt").string(), htm = (d / "INVOICE.htm").string();
    EXPECT_EQ(Run(pageFirst ? std::vector<std::string>{htm, txt} : std::vector{txt, htm}), 0);
    EXPECT_EQ(ReadFile(d / "INVOICE.txt"), program);
    EXPECT_EQ(ReadFile(d / "INVOICE.htm"), page);
    EXPECT_EQ(ReadFile(d / "INVOICE_VBconv.txt"), "CRT \"HI\"\r\nEnd Sub\r\n");
    EXPECT_TRUE(ReadFile(d / "INVOICE_asp.txt").starts_with("Response.Write \"<html>\""));
    EXPECT_NE(out.str().find(htm + " -> " + (d / "INVOICE_asp.txt").string() +
                             " (INVOICE.txt is an input of this run: not written over)\n"),
              std::string::npos)
        << out.str();
    EXPECT_EQ(Listing(d.path()), "INVOICE.htm INVOICE.txt INVOICE_VBconv.txt INVOICE_asp.txt");
  }
}

TEST_F(CommandLine, ResultsOfOneRunNeverReplaceEachOther) {
  WriteFile(dir / "a.htm", "<body>one");
  WriteFile(dir / "a.html", "<body>two");
  EXPECT_EQ(Run({(dir / "a.htm").string(), (dir / "a.html").string()}), 0);
  EXPECT_NE(ReadFile(dir / "a.txt").find("one"), std::string::npos);
  EXPECT_NE(ReadFile(dir / "a_asp.txt").find("two"), std::string::npos);
}

TEST_F(CommandLine, OnlyAnEarlierResultIsReplaced) {
  // A PICK source that happens to bear the page's result name is kept, in every run.
  WriteFile(dir / "PAGE.txt", "CRT 'KEEP ME'\n");
  WriteFile(dir / "PAGE.htm", "<body>new");
  const std::string page = (dir / "PAGE.htm").string();
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(Run({page}), 0);
    EXPECT_EQ(ReadFile(dir / "PAGE.txt"), "CRT 'KEEP ME'\n");
    EXPECT_EQ(out.str(), page + " -> " + (dir / "PAGE_asp.txt").string() +
                             " (PAGE.txt is not a result of OrvikMassage: not written over)\n");
  }
  // A result of an earlier run under the usual name is replaced, as the user expects.
  WriteFile(dir / "other.htm", "<body>first");
  EXPECT_EQ(Run({(dir / "other.htm").string()}), 0);
  WriteFile(dir / "other.htm", "<body>second");
  EXPECT_EQ(Run({(dir / "other.htm").string()}), 0);
  EXPECT_NE(ReadFile(dir / "other.txt").find("second"), std::string::npos);
  WriteFile(dir / "P", "X = 1\n");
  EXPECT_EQ(Run({(dir / "P").string()}), 0);
  WriteFile(dir / "P", "X = 2\n");
  EXPECT_EQ(Run({(dir / "P").string()}), 0);
  EXPECT_EQ(ReadFile(dir / "P_VBconv.txt"), "X = 2\r\nEnd Sub\r\n");
  EXPECT_EQ(Listing(dir.path()),
            "P PAGE.htm PAGE.txt PAGE_asp.txt P_VBconv.txt other.htm other.txt");
}

TEST_F(CommandLine, ANameMayBeginWithADash) {
  WriteFile(dir / "-p", "X = 1\n");
  std::string dashed = (dir / "-p").string();
  EXPECT_EQ(Run({dashed}), 0);
  EXPECT_EQ(ReadFile(dir / "-p_VBconv.txt"), "X = 1\r\nEnd Sub\r\n");
}

// The program itself: files on its command line convert without a window.
TEST_F(CommandLine, ProgramConvertsWithoutAWindow) {
  WriteFile(dir / "P.txt", "X<1> = 2\n");
  std::string command = std::string("QT_QPA_PLATFORM=none '") + ORVIK_MASSAGE_PROGRAM + "' '" +
                        (dir / "P.txt").string() + "' 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string printed;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) printed += buffer;
  int status = ::pclose(pipe);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << printed;
  EXPECT_EQ(printed, (dir / "P.txt").string() + " -> " + (dir / "P_VBconv.txt").string() + "\n");
  EXPECT_EQ(ReadFile(dir / "P_VBconv.txt"), "X = RReplace( X , 1 , 2 )\r\nEnd Sub\r\n");

  // A program and a page of the same name in one command: both stay as they were.
  WriteFile(dir / "INVOICE.txt", "READ R FROM F, K ELSE STOP\n");
  WriteFile(dir / "INVOICE.htm", "<body>\n<p>invoice</p>\n");
  command = std::string("QT_QPA_PLATFORM=none '") + ORVIK_MASSAGE_PROGRAM + "' '" +
            (dir / "INVOICE.txt").string() + "' '" + (dir / "INVOICE.htm").string() +
            "' >/dev/null 2>&1";
  status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadFile(dir / "INVOICE.txt"), "READ R FROM F, K ELSE STOP\n");
  EXPECT_EQ(ReadFile(dir / "INVOICE.htm"), "<body>\n<p>invoice</p>\n");
  EXPECT_NE(ReadFile(dir / "INVOICE_asp.txt").find("invoice"), std::string::npos);
  EXPECT_NE(ReadFile(dir / "INVOICE_VBconv.txt").find("RREAD"), std::string::npos);

  std::string failing = std::string("'") + ORVIK_MASSAGE_PROGRAM + "' '" +
                        (dir / "nothing").string() + "' >/dev/null 2>&1";
  status = std::system(failing.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
}

}  // namespace
}  // namespace orvik::massage
