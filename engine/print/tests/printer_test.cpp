// A session's printer on the fake backend, without a session: what goes to the terminal,
// to print hold, to raw devices and to printer objects, and what a close leaves behind.

#include "printer.h"

#include <gtest/gtest.h>

#include "error_number.h"
#include "fake_print_backend.h"
#include "text.h"
#include "vb_error.h"

namespace orvik {
namespace {

using test_support::ErrorNumber;

class PrinterTest : public ::testing::Test {
 protected:
  PrinterTest()
      : fake_(std::make_shared<FakePrintBackend>(std::vector<std::string>{"Office", "Labels"},
                                                 "Office")),
        printer_(fake_->Sharing(), [this](std::string_view text) { terminal_ += text; }) {}

  // A print hold that keeps what it is given, or refuses while `refuse` is set.
  Printer::HoldStore Hold() {
    return [this](std::int32_t queue, const std::string& text) {
      if (refuse_) return Status::Error(976, "printhold job failed to close");
      held_.push_back({queue, text});
      return Status::Ok();
    };
  }

  std::shared_ptr<FakePrintBackend> fake_;
  std::string terminal_;
  std::vector<std::pair<std::int32_t, std::string>> held_;
  bool refuse_ = false;
  Printer printer_;
};

TEST_F(PrinterTest, WhilePrintingIsOffTextGoesToTheTerminalAndNoBackendIsMade) {
  printer_.Print("hello", true);
  printer_.Print("no line", false);
  EXPECT_EQ(terminal_, "hello\r\nno line");
  EXPECT_FALSE(printer_.IsOn());
  EXPECT_TRUE(printer_.CloseJob("job", Hold()).ok());
  EXPECT_TRUE(fake_->text_jobs().empty());
}

TEST_F(PrinterTest, TheDefaultPrinterPrintsPagesSplitAtFormFeeds) {
  printer_.On();
  printer_.Settings().orientation = 2;
  printer_.Print("one\ftwo", true);
  printer_.NewPage();
  printer_.Print("three", false);
  EXPECT_EQ(terminal_, "");
  EXPECT_TRUE(printer_.CloseJob("OrvikEngine me*1", Hold()).ok());
  ASSERT_EQ(fake_->text_jobs().size(), 1u);
  const auto& job = fake_->text_jobs()[0];
  EXPECT_EQ(job.printer, "Office");
  EXPECT_EQ(job.title, "OrvikEngine me*1");
  EXPECT_EQ(job.pages, (std::vector<std::string>{"one", "two\r\n", "three"}));
  EXPECT_EQ(job.settings.orientation, 2);
  // The close turned printing off and put the settings back.
  EXPECT_FALSE(printer_.IsOn());
  EXPECT_EQ(printer_.Settings().orientation, 1);
  EXPECT_EQ(printer_.Settings().paperSize, paper::kA4);
}

TEST_F(PrinterTest, HeldTextGoesToItsQueueAndStaysWhenItCannotBeStored) {
  printer_.HoldInQueue(3);
  printer_.On();
  printer_.Print("kept", true);
  refuse_ = true;
  const Status refused = printer_.CloseJob("job", Hold());
  EXPECT_EQ(refused.Message(), "[976] printhold job failed to close");
  // Nothing is lost: the next close stores what the failed one could not.
  refuse_ = false;
  printer_.On();
  printer_.Print("more", false);
  EXPECT_TRUE(printer_.CloseJob("job", Hold()).ok());
  ASSERT_EQ(held_.size(), 1u);
  EXPECT_EQ(held_[0], (std::pair<std::int32_t, std::string>{3, "kept\r\nmore"}));
  // An empty job stores nothing.
  EXPECT_TRUE(printer_.CloseJob("job", Hold()).ok());
  EXPECT_EQ(held_.size(), 1u);
  EXPECT_TRUE(fake_->text_jobs().empty());
}

TEST_F(PrinterTest, RawDevicesSendTheirBytesAsOneJobAndAClosedOneRefuses) {
  EXPECT_EQ(printer_.MakeDevice('R', 7, "labels"), "OK");
  printer_.AssignDevice(7, "OrvikEngine me*1");
  printer_.On();
  printer_.Print("\x1B@\xFF", false);
  EXPECT_TRUE(printer_.CloseJob("unused", Hold()).ok());
  ASSERT_EQ(fake_->raw_jobs().size(), 1u);
  EXPECT_EQ(fake_->raw_jobs()[0].printer, "Labels");
  EXPECT_EQ(fake_->raw_jobs()[0].documentName, "OrvikEngine me*1");
  EXPECT_EQ(fake_->raw_jobs()[0].bytes, "\x1B@\xFF");
  EXPECT_TRUE(fake_->raw_jobs()[0].finished);
  printer_.On();
  EXPECT_EQ(ErrorNumber([&] { printer_.Print("lost?", false); }), printerr::kPrinting);
}

TEST_F(PrinterTest, DevicesAreCheckedBeforeAnythingChanges) {
  EXPECT_EQ(ErrorNumber([&] { printer_.MakeDevice('R', 0, "Office"); }), printerr::kDeviceRange);
  EXPECT_EQ(ErrorNumber([&] { printer_.MakeDevice('R', 51, "Office"); }), printerr::kDeviceRange);
  EXPECT_EQ(ErrorNumber([&] { printer_.MakeDevice('R', 2, "Nowhere"); }),
            printerr::kUnknownPrinter);
  EXPECT_EQ(printer_.MakeDevice('P', 2, "Nowhere"), "ERROR");
  EXPECT_EQ(printer_.MakeDevice('X', 2, "Office"), "ERROR");
  EXPECT_EQ(ErrorNumber([&] { printer_.AssignDevice(51, "t"); }), vberr::kSubscriptOutOfRange);
  // A device that was never made changes nothing: the default printer still prints.
  printer_.AssignDevice(9, "t");
  printer_.On();
  printer_.Print("default", false);
  EXPECT_TRUE(printer_.CloseJob("t", Hold()).ok());
  ASSERT_EQ(fake_->text_jobs().size(), 1u);
  EXPECT_EQ(fake_->text_jobs()[0].printer, "Office");
}

TEST_F(PrinterTest, AJobStopsGrowingAtTheLongestTextAndKeepsWhatItHad) {
  const std::string chunk(kMaxTextLength / 16, 'x');
  printer_.On();
  for (int i = 0; i < 16; ++i) printer_.Print(chunk, false);
  EXPECT_EQ(ErrorNumber([&] { printer_.Print("y", false); }), vberr::kOutOfStringSpace);
  EXPECT_EQ(ErrorNumber([&] { printer_.NewPage(); }), vberr::kOutOfStringSpace);
  EXPECT_TRUE(printer_.CloseJob("pages", Hold()).ok());
  ASSERT_EQ(fake_->text_jobs().size(), 1u);
  // Compared by size: a failure must not print a quarter of a gigabyte.
  ASSERT_EQ(fake_->text_jobs()[0].pages.size(), 1u);
  EXPECT_EQ(fake_->text_jobs()[0].pages[0].size(), kMaxTextLength);
  // The next job starts afresh.
  printer_.On();
  printer_.Print("small", false);
  EXPECT_TRUE(printer_.CloseJob("pages", Hold()).ok());
  ASSERT_EQ(fake_->text_jobs().size(), 2u);

  EXPECT_EQ(printer_.MakeDevice('R', 7, "labels"), "OK");
  printer_.AssignDevice(7, "raw");
  printer_.On();
  for (int i = 0; i < 16; ++i) printer_.Print(chunk, false);
  EXPECT_EQ(ErrorNumber([&] { printer_.Print("y", false); }), vberr::kOutOfStringSpace);
  EXPECT_TRUE(printer_.CloseJob("raw", Hold()).ok());
  ASSERT_EQ(fake_->raw_jobs().size(), 1u);
  EXPECT_EQ(fake_->raw_jobs()[0].bytes.size(), kMaxTextLength);
}

TEST_F(PrinterTest, WithoutAnyPrinterInstalledPrintingSaysSo) {
  fake_->SetPrinters({}, "");
  printer_.On();
  EXPECT_EQ(ErrorNumber([&] { printer_.Print("x", true); }), printerr::kPrinting);
  EXPECT_EQ(ErrorNumber([&] { printer_.Settings(); }), printerr::kPrinting);
}

TEST_F(PrinterTest, AFailedTextJobIsReportedWithThePrintersReason) {
  printer_.On();
  printer_.Print("x", true);
  fake_->RefuseOpen("Office");
  const Status failed = printer_.CloseJob("t", Hold());
  EXPECT_TRUE(failed.Is(printerr::kPrinting));
  EXPECT_FALSE(failed.description().empty());
}

}  // namespace
}  // namespace orvik
