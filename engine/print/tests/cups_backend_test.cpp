// The CUPS backend against the private print server of scripts/cups-test-server, which CTest
// starts (the "cups" fixture) and names in CUPS_SERVER and ORVIK_CUPS_TEST_DIR. Its queues
// TestRaw (the default) and Spare are raw and hand every job to a capture backend, which
// keeps the job's bytes in ORVIK_CUPS_TEST_DIR/jobs/<job-id>. These tests never skip: without
// the server they fail.

#include <cups/cups.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "print_backend.h"

namespace orvik {
namespace {

// A job as the capture backend received it.
struct CapturedJob {
  std::string bytes;
  std::map<std::string, std::string> info;  // printer, user, title, copies, options
};

std::string TestDir() {
  const char* dir = std::getenv("ORVIK_CUPS_TEST_DIR");
  if (dir == nullptr || *dir == '\0') {
    throw std::runtime_error(
        "ORVIK_CUPS_TEST_DIR is not set: run this test through ctest, which starts the private "
        "print server (the \"cups\" fixture)");
  }
  return dir;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Waits (30 s at most) for the server to have handed job `id` to the capture backend.
CapturedJob WaitForJob(int id) {
  std::filesystem::path data = std::filesystem::path(TestDir()) / "jobs" / std::to_string(id);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!std::filesystem::exists(data)) {
    if (std::chrono::steady_clock::now() > deadline) {
      throw std::runtime_error("job " + std::to_string(id) + " did not reach " + data.string() +
                               " within 30 s (see the server's log in " + TestDir() + "/log)");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  CapturedJob job;
  job.bytes = ReadFile(data);
  std::istringstream info(ReadFile(data.string() + ".info"));
  std::string line;
  while (std::getline(info, line)) {
    std::size_t eq = line.find('=');
    if (eq != std::string::npos) job.info[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return job;
}

// The job options the server handed the backend, one "name=value" each.
std::vector<std::string> Options(const CapturedJob& job) {
  std::vector<std::string> options;
  std::istringstream words(job.info.at("options"));
  std::string word;
  while (words >> word) options.push_back(word);
  return options;
}

bool HasOption(const CapturedJob& job, const std::string& option) {
  for (const std::string& word : Options(job)) {
    if (word == option) return true;
  }
  return false;
}

// A title no other test of any process running at the same time uses.
std::string UniqueTitle(const std::string& prefix) {
  static std::atomic<int> counter{0};
  return prefix + " " + std::to_string(::getpid()) + "-" + std::to_string(++counter);
}

// The state of job `id` on the server, 0 when the server does not know it.
int JobState(int id) {
  http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                              30000, nullptr);
  if (http == nullptr) throw std::runtime_error("cannot reach the test print server");
  cups_job_t* jobs = nullptr;
  int count = cupsGetJobs2(http, &jobs, nullptr, 0, CUPS_WHICHJOBS_ALL);
  int state = 0;
  for (int i = 0; i < count; ++i) {
    if (jobs[i].id == id) state = jobs[i].state;
  }
  cupsFreeJobs(count, jobs);
  httpClose(http);
  return state;
}

std::string AllByteValues() {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  return bytes;
}

class CupsBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* server = std::getenv("CUPS_SERVER");
    ASSERT_TRUE(server != nullptr && *server == '/')
        << "CUPS_SERVER must name the private print server's socket: run this test through "
           "ctest (the \"cups\" fixture)";
    ASSERT_NO_THROW(TestDir());
    // A default chosen by the environment would hide the server's.
    ::unsetenv("LPDEST");
    ::unsetenv("PRINTER");
    backend_ = MakeCupsBackend();
  }

  std::unique_ptr<PrintBackend> backend_;
};

TEST_F(CupsBackendTest, ListsTheServersPrintersAndItsDefault) {
  EXPECT_EQ(backend_->Printers(), (std::vector<std::string>{"Spare", "TestRaw"}));
  EXPECT_EQ(backend_->DefaultPrinter(), "TestRaw");
  // Asked again on the same connection.
  EXPECT_EQ(backend_->Printers().size(), 2u);
}

TEST_F(CupsBackendTest, UsersOwnDefaultWinsAndInstancesAreNoPrinters) {
  // lpoptions -d Spare/draft, for a user of our own: the default is that instance's queue,
  // and the instance is not listed as a printer.
  std::filesystem::path home =
      std::filesystem::path(TestDir()) / ("home-" + std::to_string(::getpid()));
  std::filesystem::create_directories(home / ".cups");
  std::ofstream(home / ".cups" / "lpoptions") << "Default Spare/draft\n";
  std::vector<std::string> printers;
  std::string defaultPrinter;
  const char* oldHome = std::getenv("HOME");
  std::string savedHome = oldHome != nullptr ? oldHome : "";
  ::setenv("HOME", home.c_str(), 1);
  // The print service reads HOME once per thread.
  std::thread([&] {
    std::unique_ptr<PrintBackend> backend = MakeCupsBackend();
    printers = backend->Printers();
    defaultPrinter = backend->DefaultPrinter();
  }).join();
  if (oldHome != nullptr) {
    ::setenv("HOME", savedHome.c_str(), 1);
  } else {
    ::unsetenv("HOME");
  }
  std::filesystem::remove_all(home);
  EXPECT_EQ(printers, (std::vector<std::string>{"Spare", "TestRaw"}));
  EXPECT_EQ(defaultPrinter, "Spare");
}

TEST_F(CupsBackendTest, RawJobArrivesByteForByte) {
  std::unique_ptr<RawChannel> channel = backend_->OpenRaw("TestRaw");
  ASSERT_NE(channel, nullptr);
  std::string title = UniqueTitle("OrvikEngine raw");
  int job = channel->StartDoc(title + " \xC4");
  ASSERT_GT(job, 0);
  EXPECT_EQ(channel->StartPage(), 1);

  // Every byte value, form feeds and line ends among them, in several writes; and a large
  // piece, which goes to the server in several parts.
  std::string expected;
  std::string all = AllByteValues();
  EXPECT_EQ(channel->Write(all), 256);
  expected += all;
  EXPECT_EQ(channel->Write("\f\r\n"), 3);
  expected += "\f\r\n";
  std::string large;
  for (int i = 0; i < 1200; ++i) large += all;
  EXPECT_EQ(channel->Write(large), static_cast<int>(large.size()));
  expected += large;
  EXPECT_EQ(channel->Write(""), 0);
  EXPECT_EQ(channel->EndPage(), 1);
  EXPECT_EQ(channel->EndDoc(), 1);
  EXPECT_EQ(channel->Close(), 1);

  CapturedJob captured = WaitForJob(job);
  EXPECT_EQ(captured.bytes.size(), expected.size());
  EXPECT_TRUE(captured.bytes == expected) << "the bytes were changed on the way";
  EXPECT_EQ(captured.info["printer"], "TestRaw");
  // The document name is the job's title, as UTF-8 on the server.
  EXPECT_EQ(captured.info["title"], title + " \xC3\x84");
}

TEST_F(CupsBackendTest, RawChannelFindsPrintersWithoutRegardToCase) {
  std::unique_ptr<RawChannel> channel = backend_->OpenRaw("sPARE");
  ASSERT_NE(channel, nullptr);
  int job = channel->StartDoc(UniqueTitle("case"));
  ASSERT_GT(job, 0);
  channel->Write("to the spare");
  channel->EndDoc();
  CapturedJob captured = WaitForJob(job);
  EXPECT_EQ(captured.info["printer"], "Spare");
  EXPECT_EQ(captured.bytes, "to the spare");
}

TEST_F(CupsBackendTest, RawChannelKeepsOneDocumentAtATime) {
  std::unique_ptr<RawChannel> channel = backend_->OpenRaw("TestRaw");
  ASSERT_NE(channel, nullptr);
  EXPECT_EQ(channel->StartPage(), 0);
  EXPECT_EQ(channel->Write("nowhere"), 0);
  EXPECT_EQ(channel->EndDoc(), 0);

  int first = channel->StartDoc(UniqueTitle("first"));
  ASSERT_GT(first, 0);
  EXPECT_EQ(channel->StartDoc(UniqueTitle("second")), 0);
  channel->Write("first document");
  EXPECT_EQ(channel->EndDoc(), 1);
  EXPECT_EQ(channel->EndDoc(), 0);

  // A new document on the same channel; closing completes it.
  int next = channel->StartDoc(UniqueTitle("next"));
  ASSERT_GT(next, first);
  channel->Write("closed, not ended");
  EXPECT_EQ(channel->Close(), 1);
  EXPECT_EQ(channel->StartDoc("after close"), 0);
  EXPECT_EQ(channel->Write("x"), 0);
  EXPECT_EQ(channel->EndDoc(), 0);
  EXPECT_EQ(channel->Close(), 0);

  EXPECT_EQ(WaitForJob(first).bytes, "first document");
  EXPECT_EQ(WaitForJob(next).bytes, "closed, not ended");
}

TEST_F(CupsBackendTest, DestroyedChannelDeliversWhatWasWritten) {
  int job = 0;
  {
    std::unique_ptr<RawChannel> channel = backend_->OpenRaw("TestRaw");
    ASSERT_NE(channel, nullptr);
    job = channel->StartDoc(UniqueTitle("dropped"));
    ASSERT_GT(job, 0);
    channel->Write("not lost");
  }
  EXPECT_EQ(WaitForJob(job).bytes, "not lost");
}

TEST_F(CupsBackendTest, EmptyRawDocumentLeavesNoWaitingJob) {
  std::unique_ptr<RawChannel> channel = backend_->OpenRaw("TestRaw");
  ASSERT_NE(channel, nullptr);
  int job = channel->StartDoc(UniqueTitle("empty"));
  ASSERT_GT(job, 0);
  EXPECT_EQ(channel->EndDoc(), 1);
  EXPECT_EQ(JobState(job), IPP_JOB_CANCELED);
}

TEST_F(CupsBackendTest, TextJobJoinsItsPagesWithFormFeeds) {
  std::string error;
  std::string title = UniqueTitle("Report");
  int job = backend_->PrintText("TestRaw", title, {"Seite 1 \xE4\r\n", "page two"}, PageSettings{},
                                &error);
  ASSERT_GT(job, 0) << error;
  CapturedJob captured = WaitForJob(job);
  // Text goes to the server as UTF-8, as it reads text documents.
  EXPECT_EQ(captured.bytes, "Seite 1 \xC3\xA4\r\n\fpage two");
  EXPECT_EQ(captured.info["title"], title);
  EXPECT_EQ(captured.info["printer"], "TestRaw");
}

TEST_F(CupsBackendTest, TextJobCarriesThePageSettings) {
  std::string error;
  PageSettings landscape;
  landscape.orientation = 2;
  landscape.paperSize = paper::kA5;
  landscape.copies = 2;
  landscape.fontSize = 12;
  int job = backend_->PrintText("Spare", UniqueTitle("landscape"), {"x"}, landscape, &error);
  ASSERT_GT(job, 0) << error;
  CapturedJob captured = WaitForJob(job);
  EXPECT_EQ(captured.info["printer"], "Spare");
  EXPECT_EQ(captured.info["copies"], "2");
  EXPECT_TRUE(HasOption(captured, "orientation-requested=4")) << captured.info["options"];
  EXPECT_TRUE(HasOption(captured, "media=A5")) << captured.info["options"];
  EXPECT_TRUE(HasOption(captured, "cpi=10")) << captured.info["options"];
  EXPECT_TRUE(HasOption(captured, "lpi=6")) << captured.info["options"];

  job = backend_->PrintText("TestRaw", UniqueTitle("portrait"), {"x"}, PageSettings{}, &error);
  ASSERT_GT(job, 0) << error;
  captured = WaitForJob(job);
  EXPECT_EQ(captured.info["copies"], "1");
  EXPECT_TRUE(HasOption(captured, "orientation-requested=3")) << captured.info["options"];
  EXPECT_TRUE(HasOption(captured, "media=A4")) << captured.info["options"];

  PageSettings custom;
  custom.paperSize = paper::kLetter;
  custom.width = 1000;
  custom.height = 1485;
  custom.copies = 0;
  job = backend_->PrintText("TestRaw", UniqueTitle("custom"), {"x"}, custom, &error);
  ASSERT_GT(job, 0) << error;
  captured = WaitForJob(job);
  EXPECT_EQ(captured.info["copies"], "1");
  EXPECT_TRUE(HasOption(captured, "media=Custom.100x148.5mm")) << captured.info["options"];

  PageSettings unknownPaper;
  unknownPaper.paperSize = 70;
  job = backend_->PrintText("TestRaw", UniqueTitle("paper"), {"x"}, unknownPaper, &error);
  ASSERT_GT(job, 0) << error;
  captured = WaitForJob(job);
  for (const std::string& option : Options(captured)) {
    EXPECT_NE(option.rfind("media=", 0), 0u) << "the printer's own paper was overridden";
  }
}

TEST_F(CupsBackendTest, UnknownPrinterIsRefused) {
  EXPECT_EQ(backend_->OpenRaw("NoSuchPrinter"), nullptr);
  EXPECT_EQ(backend_->OpenRaw(""), nullptr);
  EXPECT_EQ(backend_->OpenRaw("TestRaw/instance"), nullptr);

  std::string error;
  EXPECT_EQ(backend_->PrintText("NoSuchPrinter", "t", {"x"}, PageSettings{}, &error), 0);
  EXPECT_NE(error.find("NoSuchPrinter"), std::string::npos) << error;

  error.clear();
  EXPECT_EQ(backend_->PrintText("TestRaw", "t", {}, PageSettings{}, &error), 0);
  EXPECT_FALSE(error.empty());
  error.clear();
  EXPECT_EQ(backend_->PrintText("TestRaw", "t", {""}, PageSettings{}, &error), 0);
  EXPECT_FALSE(error.empty());
}

TEST_F(CupsBackendTest, UnreachableServerIsReportedNotHidden) {
  // The server is chosen per thread, so this one points elsewhere without disturbing others.
  std::vector<std::string> printers{"unchanged"};
  std::string defaultPrinter = "unchanged";
  bool opened = true;
  int job = -1;
  std::string error;
  std::thread([&] {
    std::string missing = TestDir() + "/no-server.sock";
    cupsSetServer(missing.c_str());
    std::unique_ptr<PrintBackend> backend = MakeCupsBackend();
    printers = backend->Printers();
    defaultPrinter = backend->DefaultPrinter();
    opened = backend->OpenRaw("TestRaw") != nullptr;
    job = backend->PrintText("TestRaw", "t", {"x"}, PageSettings{}, &error);
  }).join();
  EXPECT_TRUE(printers.empty());
  EXPECT_EQ(defaultPrinter, "");
  EXPECT_FALSE(opened);
  EXPECT_EQ(job, 0);
  EXPECT_NE(error.find("no-server.sock"), std::string::npos) << error;
}

TEST_F(CupsBackendTest, BackendsOnSeveralThreadsPrintAtOnce) {
  constexpr int kThreads = 4;
  constexpr int kJobsEach = 5;
  struct Sent {
    int job = 0;
    std::string bytes;
  };
  std::vector<std::vector<Sent>> sent(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &sent] {
      std::unique_ptr<PrintBackend> backend = MakeCupsBackend();
      for (int i = 0; i < kJobsEach; ++i) {
        std::unique_ptr<RawChannel> channel = backend->OpenRaw(i % 2 == 0 ? "TestRaw" : "Spare");
        if (channel == nullptr) continue;
        Sent one;
        one.job = channel->StartDoc(UniqueTitle("thread " + std::to_string(t)));
        for (int k = 0; k < 50; ++k) {
          std::string piece = "thread " + std::to_string(t) + " job " + std::to_string(i) +
                              " line " + std::to_string(k) + "\r\n";
          channel->Write(piece);
          one.bytes += piece;
        }
        channel->EndDoc();
        channel->Close();
        sent[t].push_back(one);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(sent[t].size(), static_cast<std::size_t>(kJobsEach)) << "thread " << t;
    for (const Sent& one : sent[t]) {
      ASSERT_GT(one.job, 0);
      EXPECT_EQ(WaitForJob(one.job).bytes, one.bytes);
    }
  }
}

}  // namespace
}  // namespace orvik
