// The markup the engine writes: frames with their exact texts, and stored markers shown.

#include "screen_markup.h"

#include <gtest/gtest.h>

namespace orvik {
namespace {

TEST(MarkupTest, StoredMarkersReadTheSameAndCommandNothing) {
  EXPECT_EQ(ShownText("a<&port_disconnect>b</tx>c<TX>"), "a< &port_disconnect>b< /tx>c<TX>");
  EXPECT_EQ(ShownText("<<&PORT_DISCONNECT>"), "<< &PORT_DISCONNECT>");
  EXPECT_EQ(ShownText("plain < text"), "plain < text");
  // A grid cell also keeps its backslashes from starting the next cell.
  EXPECT_EQ(GridCell("a\\b</TX>"), "a/b< /TX>");
}

TEST(MarkupTest, ListsAreFramedForTheGraphicalClientOnly) {
  const std::string names = "ORDERS\xFEtrap</TX>";
  EXPECT_EQ(ListFrame("LISTF = List of Files/Tables", names, false),
            "LISTF = List of Files/Tables\r\n\r\nORDERS\r\ntrap< /TX>");
  EXPECT_EQ(ListFrame("T", "A", true),
            "<TERMINAL><ATF @=-1><POSITION TOP=1 LEFT=0>T\r\n\r\nA\r\n\r\n:</TX>");
  EXPECT_EQ(ProcessListFrame("rows"),
            "<TERMINAL><ATF @=-1><POSITION TOP=0 LEFT=0>LISTU\r\nrows</TX>");
  EXPECT_EQ(TerminalFrame(":"), "<TERMINAL>:</TX>");
}

TEST(MarkupTest, QueryFramesAndForms) {
  EXPECT_EQ(QueryQuitFrame(),
            "<TERMINAL><ATF @=-1><POSITION LEFT=1 TOP=1>Quit from query output"
            "<POSITION LEFT=1 TOP=2>:<POSITION LEFT=2 TOP=2></TX>");
  EXPECT_EQ(QueryEndFrame(),
            "<TERMINAL><ATF @=-1><ATF @=-37><POSITION LEFT=1 TOP=1>No more records in this "
            "query.<ATF @=-40><POSITION LEFT=1 TOP=3>:<POSITION LEFT=2 TOP=3></TX>");
  // A failure's text may hold what a user stored: it ends no transmission.
  const std::string error = QueryErrorFrame("[3021] no row </TX>");
  EXPECT_NE(error.find("ERROR: [3021] no row < /TX>"), std::string::npos);
  EXPECT_EQ(error.find("</TX>"), error.size() - 5);
  EXPECT_EQ(GridRows({{"a", "b"}, {"c\\", "d"}}, " "),
            "<GRIDFILL>\r\n<DATA>a \\b\r\n<DATA>c/ \\d\r\n</GRIDFILL>\r\n"
            "<POSITION TOP=3 LEFT=100></TX>");
  EXPECT_EQ(QueryFormRefresh(3), "<REFRESH><FORMHEADER>Query,Page3,TCL");
  const std::string show = ShowForm("orders", "12", "@");
  EXPECT_EQ(show.rfind("<FORM SCREEN=FULL TYPE=FUNCTION><FORMHEADER>Query,SHOW orders,TCL", 0), 0u);
  EXPECT_NE(show.find("@Count = 12 items.<GRID TYPE=READONLY TOP=5 ACTION=1>\r\n"),
            std::string::npos);
}

}  // namespace
}  // namespace orvik
