// The pager against a fake record set and a fake terminal: pages of a character terminal,
// forms of the graphical client, the keys that turn them, and stored markers shown.

#include "pager.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "fake_terminal.h"
#include "screen_markup.h"
#include "vb_error.h"

namespace orvik {
namespace {

using test_support::FakeTerminal;

// Rows held in memory; MoveNext fails once the row `failAt` is reached, when set.
class FakeRows : public RecordSource {
 public:
  FakeRows(std::vector<std::string> fields, std::vector<std::vector<std::string>> rows)
      : fields_(std::move(fields)), rows_(std::move(rows)) {}
  bool AtEOF() const override { return at_ >= rows_.size(); }
  void MoveNext() override {
    if (failAt_ && at_ + 1 == *failAt_) throw VbError(-2147467259, "connection lost");
    ++at_;
  }
  int FieldCount() const override { return static_cast<int>(fields_.size()); }
  std::string FieldName(int field) const override { return fields_.at(field); }
  std::string Text(int field) const override { return rows_.at(at_).at(field); }
  void FailAt(std::size_t row) { failAt_ = row; }

 private:
  std::vector<std::string> fields_;
  std::vector<std::vector<std::string>> rows_;
  std::size_t at_ = 0;
  std::optional<std::size_t> failAt_;
};

std::shared_ptr<FakeRows> Items(int count, int attributes) {
  std::vector<std::string> fields{"A0"};
  for (int a = 1; a <= attributes; ++a) fields.push_back("A" + std::to_string(a));
  std::vector<std::vector<std::string>> rows;
  for (int i = 1; i <= count; ++i) {
    std::vector<std::string> row{"ID" + std::to_string(i)};
    for (int a = 1; a <= attributes; ++a) row.push_back("v" + std::to_string(a));
    rows.push_back(row);
  }
  return std::make_shared<FakeRows>(fields, rows);
}

std::size_t Count(const std::string& text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

class PagerTest : public ::testing::Test {
 protected:
  FakeTerminal terminal_;
  Pager pager_{terminal_};
};

TEST_F(PagerTest, AShortQueryEndsOnItsFirstPage) {
  terminal_.SetState(SessionState::kVerb);
  pager_.StartPages(Items(1, 2));
  EXPECT_EQ(terminal_.State(), SessionState::kTcl);
  const std::string out = terminal_.Output();
  EXPECT_EQ(out.rfind("\r\n    ID1\r\n001 v1\r\n002 v2\r\n", 0), 0u);
  // Blank lines fill the screen down to the end line and the prompt.
  EXPECT_NE(out.find("\r\n******  end of query  ******\r\n:"), std::string::npos);
  EXPECT_EQ(Count(out, "\r\n"), 2 + 2 + (20 - 4) + 2);
}

TEST_F(PagerTest, LongQueriesWaitForAKeyAfterEachPageAndQuitOnQ) {
  pager_.StartPages(Items(10, 4));  // 6 lines a record with the blank line before it
  EXPECT_EQ(terminal_.State(), SessionState::kTclPage);
  std::string page = terminal_.Output();
  EXPECT_NE(page.find("Press any key to continue or ('q' to quit"), std::string::npos);
  // A record that starts below line 17 waits for the next page.
  EXPECT_EQ(Count(page, "    ID"), 3);
  EXPECT_NE(page.find("\r\nPress any key to continue or ('q' to quit):"), std::string::npos);
  pager_.Key(SessionState::kTclPage, " ");
  page = terminal_.Output();
  EXPECT_EQ(page.rfind("\r\n    ID4\r\n", 0), 0u);
  pager_.Key(SessionState::kTclPage, "Q");
  EXPECT_EQ(terminal_.Output(), "\r\nQuit from current output\r\n:");
  EXPECT_EQ(terminal_.State(), SessionState::kTcl);
}

TEST_F(PagerTest, ALongValueCountsEveryLineItTakes) {
  auto rows = std::make_shared<FakeRows>(
      std::vector<std::string>{"A0", "A1"},
      std::vector<std::vector<std::string>>{{"big", std::string(30, 'x') + "\r\n" + "y\rz"},
                                            {"next", "n"}});
  pager_.StartPages(rows);
  const std::string out = terminal_.Output();
  EXPECT_EQ(terminal_.State(), SessionState::kTcl);
  // 2 + 3 lines for the first record (its value takes three), 2 + 1 for the next: the end
  // comes after 20 - 8 blank lines.
  std::string end = "n\r\n";
  for (int i = 0; i < 12; ++i) end += "\r\n";
  end += "\r\n******  end of query  ******\r\n:";
  EXPECT_EQ(out.substr(out.size() - end.size()), end);
}

TEST_F(PagerTest, StoredMarkersAreShownNotObeyed) {
  auto rows = std::make_shared<FakeRows>(
      std::vector<std::string>{"A0", "A1"},
      std::vector<std::vector<std::string>>{{"<&PORT_DISCONNECT>", "a</TX>b\\c"}});
  pager_.StartPages(rows);
  const std::string out = terminal_.Output();
  EXPECT_EQ(out.find(protocol::kPortDisconnect), std::string::npos);
  EXPECT_NE(out.find("< &PORT_DISCONNECT>"), std::string::npos);
  EXPECT_NE(out.find("001 a< /TX>b\\c"), std::string::npos);
}

TEST_F(PagerTest, TheGraphicalClientGetsOneRecordPerForm) {
  auto rows = std::make_shared<FakeRows>(
      std::vector<std::string>{"A0", "A1"},
      std::vector<std::vector<std::string>>{{"K1", "x\\y"}, {"K2", "</TX>"}});
  pager_.StartForms(rows, "SELECT * FROM t", "<POSITION LEFT=0 TOP=3>");
  EXPECT_EQ(terminal_.State(), SessionState::kTclQueryVbGui);
  std::string form = terminal_.Output();
  EXPECT_EQ(form.rfind("<FORM SCREEN=FULL TYPE=FUNCTION><FORMHEADER>Query,Page1,TCL", 0), 0u);
  EXPECT_NE(form.find("<POSITION LEFT=0 TOP=3>SELECT * FROM t<GRID"), std::string::npos);
  EXPECT_NE(form.find("<DATA>A0\\K1\r\n<DATA>A1\\x/y\r\n</GRIDFILL>"), std::string::npos);
  EXPECT_EQ(form.substr(form.size() - 5), "</TX>");
  pager_.Key(SessionState::kTclQueryVbGui, "\r");
  form = terminal_.Output();
  EXPECT_EQ(form.rfind("<REFRESH><FORMHEADER>Query,Page2,TCL<GRIDFILL>", 0), 0u);
  EXPECT_NE(form.find("<DATA>A1\\< /TX>"), std::string::npos);
  pager_.Key(SessionState::kTclQueryVbGui, "\r");
  EXPECT_EQ(terminal_.Output(), QueryEndFrame());
  EXPECT_EQ(terminal_.State(), SessionState::kTcl);
}

TEST_F(PagerTest, AFormsQuitKeysAndARecordThatCannotBeRead) {
  pager_.StartForms(Items(3, 1), "q", "");
  terminal_.Output();
  pager_.Key(SessionState::kTclQueryVbGui, "\x18");
  EXPECT_EQ(terminal_.Output(), QueryQuitFrame());

  auto rows = Items(3, 1);
  rows->FailAt(1);
  pager_.StartForms(rows, "q", "");
  terminal_.Output();
  pager_.Key(SessionState::kTclQueryVbGui, "\r");
  // Said as the failure it is, not taken for the end of the query.
  const std::string said = terminal_.Output();
  EXPECT_NE(said.find("ERROR: [-2147467259] connection lost"), std::string::npos) << said;
  EXPECT_EQ(said.find("No more records"), std::string::npos);
  EXPECT_EQ(terminal_.State(), SessionState::kTcl);
}

TEST_F(PagerTest, AnyKeyEndsShowsForm) {
  terminal_.SetState(SessionState::kTclQueryShow);
  pager_.Key(SessionState::kTclQueryShow, "x");
  EXPECT_EQ(terminal_.Output(), ShowEndFrame());
  EXPECT_EQ(terminal_.State(), SessionState::kTcl);
}

}  // namespace
}  // namespace orvik
