// The fake print backend records what the engine prints, under the same rules as the real
// one, so that engine tests can rely on it.

#include "fake_print_backend.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace orvik {
namespace {

using ::testing::ElementsAre;

TEST(FakePrintBackendTest, ListsTheConfiguredPrintersAndDefault) {
  FakePrintBackend backend({"Office", "Labels"}, "Labels");
  EXPECT_EQ(backend.Printers(), (std::vector<std::string>{"Office", "Labels"}));
  EXPECT_EQ(backend.DefaultPrinter(), "Labels");

  backend.SetPrinters({"Solo"}, "");
  EXPECT_EQ(backend.Printers(), (std::vector<std::string>{"Solo"}));
  EXPECT_EQ(backend.DefaultPrinter(), "");

  FakePrintBackend none;
  EXPECT_TRUE(none.Printers().empty());
  EXPECT_EQ(none.DefaultPrinter(), "");
}

TEST(FakePrintBackendTest, RecordsARawJobFromStartToEnd) {
  FakePrintBackend backend({"Office"}, "Office");
  std::unique_ptr<RawChannel> channel = backend.OpenRaw("office");
  ASSERT_NE(channel, nullptr);
  EXPECT_EQ(backend.open_channels(), 1);

  int job = channel->StartDoc("OrvikEngine 7");
  EXPECT_GT(job, 0);
  EXPECT_EQ(channel->StartPage(), 1);
  EXPECT_EQ(channel->Write(std::string("one\r\n\f\0\xFE", 8)), 8);
  EXPECT_EQ(channel->Write("two"), 3);
  ASSERT_EQ(backend.raw_jobs().size(), 1u);
  EXPECT_FALSE(backend.raw_jobs()[0].finished);
  EXPECT_EQ(channel->EndPage(), 1);
  EXPECT_EQ(channel->EndDoc(), 1);
  EXPECT_EQ(channel->Close(), 1);
  EXPECT_EQ(backend.open_channels(), 0);

  const FakePrintBackend::RawJob& recorded = backend.raw_jobs()[0];
  EXPECT_EQ(recorded.jobId, job);
  EXPECT_EQ(recorded.printer, "Office");  // the printer's own spelling
  EXPECT_EQ(recorded.documentName, "OrvikEngine 7");
  EXPECT_EQ(recorded.bytes, std::string("one\r\n\f\0\xFEtwo", 11));
  EXPECT_EQ(recorded.pages, 1);
  EXPECT_TRUE(recorded.finished);
}

TEST(FakePrintBackendTest, ChannelRefusesCallsOutOfOrder) {
  FakePrintBackend backend({"Office"}, "Office");
  std::unique_ptr<RawChannel> channel = backend.OpenRaw("Office");
  ASSERT_NE(channel, nullptr);
  // No document yet.
  EXPECT_EQ(channel->StartPage(), 0);
  EXPECT_EQ(channel->Write("lost"), 0);
  EXPECT_EQ(channel->EndPage(), 0);
  EXPECT_EQ(channel->EndDoc(), 0);
  EXPECT_TRUE(backend.raw_jobs().empty());

  // One document at a time: the second StartDoc fails and the bytes stay in the first.
  int first = channel->StartDoc("first");
  EXPECT_GT(first, 0);
  EXPECT_EQ(channel->StartDoc("second"), 0);
  EXPECT_EQ(channel->Write("kept"), 4);
  EXPECT_EQ(channel->EndDoc(), 1);
  EXPECT_EQ(channel->EndDoc(), 0);

  // A second document after the first has ended gets a new job.
  int second = channel->StartDoc("again");
  EXPECT_GT(second, first);
  EXPECT_EQ(channel->Close(), 1);

  // Closed: everything fails, and closing again too.
  EXPECT_EQ(channel->StartDoc("late"), 0);
  EXPECT_EQ(channel->StartPage(), 0);
  EXPECT_EQ(channel->Write("late"), 0);
  EXPECT_EQ(channel->EndPage(), 0);
  EXPECT_EQ(channel->EndDoc(), 0);
  EXPECT_EQ(channel->Close(), 0);

  ASSERT_EQ(backend.raw_jobs().size(), 2u);
  EXPECT_EQ(backend.raw_jobs()[0].documentName, "first");
  EXPECT_EQ(backend.raw_jobs()[0].bytes, "kept");
  EXPECT_EQ(backend.raw_jobs()[1].documentName, "again");
  // Closing with the document open completed it.
  EXPECT_TRUE(backend.raw_jobs()[1].finished);
  EXPECT_EQ(backend.open_channels(), 0);
}

TEST(FakePrintBackendTest, DestroyingAChannelCompletesItsDocument) {
  FakePrintBackend backend({"Office"}, "Office");
  {
    std::unique_ptr<RawChannel> channel = backend.OpenRaw("Office");
    ASSERT_NE(channel, nullptr);
    channel->StartDoc("dropped");
    channel->Write("abc");
  }
  ASSERT_EQ(backend.raw_jobs().size(), 1u);
  EXPECT_TRUE(backend.raw_jobs()[0].finished);
  EXPECT_EQ(backend.raw_jobs()[0].bytes, "abc");
  EXPECT_EQ(backend.open_channels(), 0);
}

TEST(FakePrintBackendTest, AChannelMayOutliveItsBackend) {
  std::unique_ptr<RawChannel> channel;
  {
    FakePrintBackend backend({"Office"}, "Office");
    channel = backend.OpenRaw("Office");
  }
  ASSERT_NE(channel, nullptr);
  EXPECT_GT(channel->StartDoc("orphan"), 0);
  EXPECT_EQ(channel->Write("x"), 1);
  EXPECT_EQ(channel->Close(), 1);
}

TEST(FakePrintBackendTest, UnknownAndRefusingPrintersFail) {
  FakePrintBackend backend({"Office", "Labels"}, "Office");
  backend.RefuseOpen("LABELS");
  EXPECT_EQ(backend.OpenRaw("Nowhere"), nullptr);
  EXPECT_EQ(backend.OpenRaw(""), nullptr);
  EXPECT_EQ(backend.OpenRaw("Labels"), nullptr);
  EXPECT_NE(backend.OpenRaw("Office"), nullptr);

  std::string error;
  EXPECT_EQ(backend.PrintText("Nowhere", "t", {"x"}, PageSettings{}, &error), 0);
  EXPECT_NE(error.find("Nowhere"), std::string::npos) << error;
  error.clear();
  EXPECT_EQ(backend.PrintText("Labels", "t", {"x"}, PageSettings{}, &error), 0);
  EXPECT_FALSE(error.empty());
  error.clear();
  EXPECT_EQ(backend.PrintText("Office", "t", {}, PageSettings{}, &error), 0);
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(backend.text_jobs().empty());
  EXPECT_TRUE(backend.raw_jobs().empty());
}

TEST(FakePrintBackendTest, RecordsTextJobsWithTheirSettings) {
  FakePrintBackend backend({"Office"}, "Office");
  PageSettings settings;
  settings.orientation = 2;
  settings.paperSize = paper::kA5;
  settings.copies = 3;
  settings.fontName = "Arial";
  settings.fontSize = 9.5;
  std::string error = "untouched";
  int first = backend.PrintText("OFFICE", "Report", {"page 1", "page \xE9"}, settings, &error);
  int second = backend.PrintText("Office", "Other", {"x"}, PageSettings{}, &error);
  EXPECT_GT(first, 0);
  EXPECT_GT(second, first);
  EXPECT_EQ(error, "untouched");

  ASSERT_EQ(backend.text_jobs().size(), 2u);
  const FakePrintBackend::TextJob& job = backend.text_jobs()[0];
  EXPECT_EQ(job.jobId, first);
  EXPECT_EQ(job.printer, "Office");
  EXPECT_EQ(job.title, "Report");
  EXPECT_THAT(job.pages, ElementsAre("page 1", "page \xE9"));
  EXPECT_EQ(job.settings.orientation, 2);
  EXPECT_EQ(job.settings.paperSize, paper::kA5);
  EXPECT_EQ(job.settings.copies, 3);
  EXPECT_EQ(job.settings.fontName, "Arial");
  EXPECT_EQ(job.settings.fontSize, 9.5);
  EXPECT_EQ(backend.text_jobs()[1].settings.orientation, 1);
}

TEST(JoinPagesTest, SeparatesPagesWithFormFeeds) {
  EXPECT_EQ(JoinPages({}), "");
  EXPECT_EQ(JoinPages({"only"}), "only");
  EXPECT_EQ(JoinPages({"one", "", "three"}), "one\f\fthree");
}

}  // namespace
}  // namespace orvik
