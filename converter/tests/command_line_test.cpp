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
    return RunCommandLine(args, out, err);
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

TEST_F(CommandLine, UsageAndOptions) {
  EXPECT_EQ(Run({"--help"}), 0);
  EXPECT_NE(out.str().find("Usage: OrvikMassage"), std::string::npos);
  EXPECT_EQ(Run({"-x"}), 2);
  EXPECT_NE(err.str().find("unknown option -x"), std::string::npos);
  EXPECT_EQ(Run({"--"}), 2);
  // After "--" a name may begin with a dash.
  WriteFile(dir / "-p", "X = 1\n");
  std::string dashed = (dir / "-p").string();
  EXPECT_EQ(Run({"--", dashed}), 0);
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

  std::string failing = std::string("'") + ORVIK_MASSAGE_PROGRAM + "' '" +
                        (dir / "nothing").string() + "' >/dev/null 2>&1";
  status = std::system(failing.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
}

}  // namespace
}  // namespace orvik::massage
