#include "html_massage.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "source_files.h"
#include "string_works.h"
#include "test_files.h"
#include "text_rules.h"

namespace orvik::massage {
namespace {

using testing::Listing;
using testing::ReadFile;
using testing::ScratchFolder;
using testing::WriteFile;

namespace fs = std::filesystem;

// The statements that write `lines`, each line with its line end but the last.
std::string Written(std::initializer_list<std::string> lines) {
  std::string r = "Response.Write \"<html>\"";
  std::size_t i = 0;
  for (const std::string& line : lines) {
    r += "\r\nResponse.Write \"" + line + "\"";
    if (++i < lines.size()) r += " & vbCrLf";
  }
  return r;
}

// A page whose body holds the one line under test, on a line of its own.
std::string Page(const std::string& line) { return "<body>\r\n" + line + "\r\n</body>"; }

TEST(HtmlToAsp, DropsTheHeadAndWritesEveryLine) {
  EXPECT_EQ(HtmlToAsp("<html><head><title>T</title></head>\r\n<body>\r\n<p>x</p>\r\n</body>"),
            Written({"<body>", "<p>x</p>", "</body>"}));
}

TEST(HtmlToAsp, BodyTagFoundInAnyCase) {
  EXPECT_EQ(HtmlToAsp("<HEAD></HEAD><BODY BGCOLOR=1>hi"), Written({"<BODY BGCOLOR=1>hi"}));
}

TEST(HtmlToAsp, QuotesDoubledAndCommentsOnALineOfTheirOwn) {
  EXPECT_EQ(HtmlToAsp("<body class=\"a\"><!-- c -->"),
            Written({"<body class=\"\"a\"\">", "<!-- c -->"}));
}

TEST(HtmlToAsp, PageWithoutBodyIsRejected) {
  EXPECT_FALSE(HtmlToAsp("<html><head></head><p>no body</p></html>").has_value());
  EXPECT_FALSE(HtmlToAsp("").has_value());
}

TEST(HtmlToAsp, LineOf53IsKeptOneOf54IsBroken) {
  std::string keep = "<p>" + std::string(44, 'a') + ",b</p>";  // 53 characters
  ASSERT_EQ(keep.size(), kLongestPageLine);
  EXPECT_EQ(HtmlToAsp(Page(keep)), Written({"<body>", keep, "</body>"}));
  std::string cut = "<p>" + std::string(45, 'a') + ",b</p>";  // 54
  EXPECT_EQ(HtmlToAsp(Page(cut)),
            Written({"<body>", "<p>" + std::string(45, 'a') + ",", "b</p>", "</body>"}));
  std::string noBreakPoint(80, 'a');
  EXPECT_EQ(HtmlToAsp(Page(noBreakPoint)), Written({"<body>", noBreakPoint, "</body>"}));
}

TEST(HtmlToAsp, BreakPointsInTheirOrder) {
  std::string spaces = "<td>&nbsp;&nbsp;&nbsp;&nbsp;" + std::string(30, 'a') + ",b</td>";
  EXPECT_EQ(HtmlToAsp(Page(spaces)),
            Written({"<body>", "<td>&nbsp;&nbsp;",
                     "&nbsp;&nbsp;" + std::string(30, 'a') + ",b</td>", "</body>"}));
  std::string tags = "<tr><td>" + std::string(40, 'a') + "</td><td>b</td></tr>";
  EXPECT_EQ(HtmlToAsp(Page(tags)),
            Written({"<body>", "<tr>", "<td>" + std::string(40, 'a') + "</td>", "<td>b</td>",
                     "</tr>", "</body>"}));
}

TEST(HtmlToAsp, ScanGoesOnFromWhereTheLineEndStoodBeforeTheBreak) {
  // The break inserted two characters, so the scan resumes two characters in front of the
  // broken line's end: its long second piece is not looked at again, the next line is.
  std::string first = "<p>a,<b>" + std::string(50, 'x') + "</b><i>y</i></p>";
  std::string second = "<tr><td>" + std::string(50, 'y') + "</td></tr>";
  EXPECT_EQ(HtmlToAsp("<body>\r\n" + first + "\r\n" + second + "\r\n</body>"),
            Written({"<body>", "<p>a,", "<b>" + std::string(50, 'x') + "</b><i>y</i></p>", "<tr>",
                     "<td>" + std::string(50, 'y') + "</td>", "</tr>", "</body>"}));
}

TEST(HtmlToAsp, ManyBreakPointsEndTheScan) {
  std::string line(200, ',');
  std::optional<std::string> r = HtmlToAsp(Page(line));
  ASSERT_TRUE(r.has_value());
  std::string pieces;
  for (int i = 0; i < 200; ++i) pieces += ",\" & vbCrLf\r\nResponse.Write \"";
  EXPECT_NE(r->find(pieces), std::string::npos);
}

TEST(HtmlToAsp, ScriptBlocksAreNeverBroken) {
  std::string code = "var s = '" + std::string(60, 'x') + "', t = 1;";
  std::string closing = "</script><p>" + std::string(50, 'z') + "</p>";
  std::string page = "<body>\r\n<script>\r\n" + code + "\r\n" + closing + "\r\n</body>";
  EXPECT_EQ(HtmlToAsp(page), Written({"<body>", "<script>", code, "</script>",
                                      "<p>" + std::string(50, 'z') + "</p>", "</body>"}));
  // The line that opens the block is not broken either.
  std::string opening = "<script>var u = '" + std::string(50, 'x') + "', v;";
  EXPECT_EQ(HtmlToAsp(Page(opening)), Written({"<body>", opening, "</body>"}));
}

TEST(HtmlToAsp, FirstAndLastLinesAreNeverBroken) {
  std::string longFirst = "<body>" + std::string(60, 'a') + ",b";
  EXPECT_EQ(HtmlToAsp(longFirst), Written({longFirst}));
  std::string page = "<body>\r\n<p>" + std::string(60, 'a') + ",b</p>";
  EXPECT_EQ(HtmlToAsp(page), Written({"<body>", "<p>" + std::string(60, 'a') + ",b</p>"}));
}

// The massage as its rules read, rebuilding the whole text at every break: slow on a large
// page, but plainly what the rules say.
std::string RebuiltAtEveryBreak(std::string_view page) {
  std::string text = WithCrLfLineEnds(page);
  text.erase(0, FindNoCase(text, "<body"));
  text = ReplaceAll(ReplaceAll(text, "\"", "\"\""), "<!--", "\r\n<!--");
  bool script = false;
  for (std::size_t p = text.find("\r\n"), q; p != std::string::npos; p = q) {
    q = text.find("\r\n", p + 2);
    if (q == std::string::npos) break;
    std::string line = text.substr(p + 2, q - p - 2);
    if (FindNoCase(line, "<script") != std::string::npos) {
      script = true;
    } else if (FindNoCase(line, "</script>") != std::string::npos) {
      script = false;
    }
    if (q - p <= kLongestPageLine + 2 || script) continue;
    std::string broken =
        ReplaceAll(line, "&nbsp;&nbsp;&nbsp;&nbsp;", "&nbsp;&nbsp;\r\n&nbsp;&nbsp;");
    if (broken == line) broken = ReplaceAll(line, ",", ",\r\n");
    if (broken == line) broken = ReplaceAll(line, "><", ">\r\n<");
    text = text.substr(0, p + 2) + broken + text.substr(q);
  }
  text = ReplaceAll(text, "\r\n", "\" & vbCrLf\r\nResponse.Write \"");
  return "Response.Write \"<html>\"\r\nResponse.Write \"" + text + "\"";
}

TEST(HtmlToAsp, SameTextAsRebuildingThePageAtEveryBreak) {
  // Pages of break points, script blocks and line ends in every order, so that scans
  // resume inside broken lines, in front of line ends and across script lines.
  const char* const parts[] = {"aaaaaaaaaaaaaaaa",
                               "b",
                               ",",
                               "><",
                               "&nbsp;&nbsp;&nbsp;&nbsp;",
                               "&nbsp;",
                               "<SCRIPT>",
                               "</script>",
                               "\r\n",
                               "\n",
                               "\r",
                               "\"",
                               "<!--"};
  std::mt19937 random(19);
  for (int round = 0; round < 400; ++round) {
    std::string page = "<body>";
    const int length = static_cast<int>(random() % 120);
    for (int i = 0; i < length; ++i) page += parts[random() % std::size(parts)];
    SCOPED_TRACE(page);
    EXPECT_EQ(HtmlToAsp(page), RebuiltAtEveryBreak(page));
  }
}

TEST(HtmlOutputPath, ExtensionOfTheFileOnly) {
  EXPECT_EQ(HtmlOutputPath("/d/page.htm"), fs::path("/d/page.txt"));
  EXPECT_EQ(HtmlOutputPath("/d/page.v2.html"), fs::path("/d/page.v2.txt"));
  // A dot in a folder's name is not the page's extension.
  EXPECT_EQ(HtmlOutputPath("/d/site.old/page"), fs::path("/d/site.old/page.txt"));
  // A page named *.txt must not be written over.
  EXPECT_EQ(HtmlOutputPath("/d/page.txt"), fs::path("/d/page_asp.txt"));
}

TEST(HtmlMonitorText, ShowsWhereAndTheBeginning) {
  std::string massaged(13000, 'm');
  std::string text = HtmlMonitorText("/d/p.txt", massaged);
  EXPECT_EQ(text,
            "The first few lines of the massaged code are given below: \r\n"
            "The result is also stored in file \"/d/p.txt\"\r\n\r\n" +
                std::string(kMassagePreview, 'm'));
}

// A run of one page.
MassageResult Massage(const fs::path& page) {
  OutputNames names;
  names.AddInput(page);
  return MassageHtmlFile(page, names);
}

TEST(MassageHtmlFile, WritesTheResultBesideThePage) {
  ScratchFolder dir;
  WriteFile(dir / "p.htm", "<head></head>\n<body>\n<p>hi</p>\n</body>\n");
  MassageResult r = Massage(dir / "p.htm");
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.output, dir / "p.txt");
  EXPECT_EQ(ReadFile(dir / "p.txt"), r.massaged + "\r\n");
  EXPECT_EQ(r.massaged, Written({"<body>", "<p>hi</p>", "</body>", ""}));
}

TEST(MassageHtmlFile, PageNamedTxtKeepsItsText) {
  ScratchFolder dir;
  WriteFile(dir / "p.txt", "<body>x");
  MassageResult r = Massage(dir / "p.txt");
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(ReadFile(dir / "p.txt"), "<body>x");
  EXPECT_EQ(ReadFile(dir / "p_asp.txt"), Written({"<body>x"}) + "\r\n");
}

TEST(MassageHtmlFile, NoBodyWritesNothing) {
  ScratchFolder dir;
  WriteFile(dir / "p.htm", "<html></html>");
  MassageResult r = Massage(dir / "p.htm");
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(r.noBody);
  EXPECT_EQ(r.error, kNoBodyMessage);
  EXPECT_EQ(Listing(dir.path()), "p.htm");
}

TEST(MassageHtmlFile, UnreadablePageIsReported) {
  ScratchFolder dir;
  MassageResult r = Massage(dir / "none.htm");
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.noBody);
  EXPECT_FALSE(r.error.empty());
  EXPECT_EQ(Listing(dir.path()), "");
}

TEST(MassageHtmlFile, PageOverTheBoundIsRefusedUnread) {
  ScratchFolder dir;
  WriteFile(dir / "big.htm", "<body>");
  std::filesystem::resize_file(dir / "big.htm", kMaxSourceBytes + 1);
  MassageResult r = Massage(dir / "big.htm");
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.noBody);
  EXPECT_NE(r.error.find("too large to convert"), std::string::npos) << r.error;
  EXPECT_EQ(Listing(dir.path()), "big.htm");
}

TEST(IsHtmlPage, ByExtensionInAnyCase) {
  EXPECT_TRUE(IsHtmlPage("a.htm"));
  EXPECT_TRUE(IsHtmlPage("/x/A.HTML"));
  EXPECT_FALSE(IsHtmlPage("a.txt"));
  EXPECT_FALSE(IsHtmlPage("/x.htm/prog"));
}

}  // namespace
}  // namespace orvik::massage
