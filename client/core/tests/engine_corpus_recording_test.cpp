// The engine still sends what the client's corpus recorded: a VBGUI session on a fresh
// embedded home, from the login through TCL verbs, a query form with paging, SHOW, and the
// demo application's menu, forms, grids, boxes, popup and search. With ORVIK_RECORD_CORPUS
// set the recording is written to the corpus instead of compared with it.
// demo application's menu, forms, grid, boxes, popup, search, nomination, update and
// sub-form. With ORVIK_RECORD_CORPUS set the recording is written to the corpus instead of
// compared with it.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "corpus_file.h"
#include "demo_home.h"
#include "engine_session_recorder.h"
#include "setup.h"

namespace orvik::client {
namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = fs::path(ORVIK_CLIENT_CORPUS_DIR) / "engine_session.txt";

constexpr std::string_view kHeader =
    "A VBGUI session of the engine as the client holds it, recorded by\n"
    "engine_corpus_recording_test (ORVIK_RECORD_CORPUS=1 records it again). Home: user demo,\n"
    "password demo, account shop with the catalogued DEMO (scripts/demo/demo.js) and PRODUCTS\n"
    "(scripts/demo/products.js).";

const std::vector<EngineSessionRecorder::Input> kScript = {
    {"login: the greeting", "\r\n"},
    {"login: the user name", "demo\r"},
    {"login: the password", "demo\r"},
    {"LOGTO", "LOGTO shop\r"},
    {"CREATE-FILE", "CREATE-FILE CUST 2\r"},
    {"INSERT a first customer", "INSERT INTO CUST (A0, A1, A2) VALUES ('C1', 'Alpha', '10')\r"},
    {"INSERT a second customer", "INSERT INTO CUST (A0, A1, A2) VALUES ('C2', 'Beta', '20')\r"},
    {"LISTF", "LISTF\r"},
    {"WHO", "WHO\r"},
    {"SELECT: the query form", "SELECT * FROM CUST ORDER BY A0\r"},
    {"SELECT: the next page", "\r"},
    {"SELECT: no more records", "\r"},
    {"SHOW: the form", "SHOW CUST\r"},
    {"SHOW: back to TCL", "\r"},
    {"DEMO: the menu", "DEMO\r"},
    {"customer form", "1\r"},
    {"customer form: action code of the name", "2\r"},
    {"customer form: the new name", "Acme Limited\r"},
    {"customer form: action code of the credit limit", "3\r"},
    {"customer form: a credit limit that is no number", "lots\r"},
    {"customer form: the error box acknowledged", "\r"},
    {"customer form: exit to the menu", "X\r"},
    {"order grid", "2\r"},
    {"order grid: a quantity changed", "5|3|1|12\r"},
    {"order grid: a quantity that is no number", "5|3|2|many\r"},
    {"order grid: the error box acknowledged", "\r"},
    {"order grid: exit to the menu", "X\r"},
    {"message boxes: information", "3\r"},
    {"message boxes: the information acknowledged", "\r"},
    {"message boxes: the error acknowledged", "\r"},
    {"message boxes: the OK box acknowledged", "\r"},
    {"message boxes: the question answered No", "N\r"},
    {"popup over the menu", "4\r"},
    {"search", "5\r"},
    {"search: the customer picked", "C200\r"},
    {"search: exit to the menu", "X\r"},
    {"products grid", "6\r"},
    {"products grid: a row's update announced", "6|M|2\r"},
    {"products grid: the id sent back", "P102\r"},
    {"products grid: the description", "Nut\r"},
    {"products grid: the price", "0.12\r"},
    {"products grid: a row inserted", "6|I|1\r"},
    {"products grid: the new row's description", "Spring\r"},
    {"products grid: the new row's price", "1.50\r"},
    {"products grid: a row deleted", "6|D|2\r"},
    {"products grid: exit to the menu", "X\r"},
    {"update: the nomination screen", "7\r"},
    {"update: a customer that is not there", "C999\r"},
    {"update: the error box acknowledged", "\r"},
    {"update: a customer nominated", "c200\r"},
    {"update: action code of the name", "2\r"},
    {"update: a name that holds markup", "Bolt <b>\r"},
    {"update: the refusal acknowledged", "\r"},
    {"update: action code of the credit limit", "3\r"},
    {"update: the new credit limit", "2500\r"},
    {"update: exit to the menu", "X\r"},
    {"sub-form: opened over the menu", "8\r"},
    {"sub-form: action code of the notes", "1\r"},
    {"sub-form: the notes", "Call on Mondays\r"},
    {"sub-form: closed", "Q\r"},
    {"leave: the question", "9\r"},
    {"leave: yes", "Y\r"},
};

class EngineCorpusRecordingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = fs::temp_directory_path() / ("orvik-client-corpus-" + std::to_string(::getpid()));
    fs::remove_all(home_);
    fs::create_directories(home_);
    std::string error;
    ASSERT_TRUE(SetUpDemoHome(home_, "shop", "demo", "demo", &error)) << error;
  }
  void TearDown() override { fs::remove_all(home_); }

  fs::path home_;
};

TEST_F(EngineCorpusRecordingTest, TheEngineStillSendsTheRecordedSession) {
  std::vector<CorpusStep> steps;
  {
    EngineSessionRecorder recorder(home_.string());
    ASSERT_TRUE(recorder.Run(kScript, steps)) << CorpusText(steps, kHeader);
  }
  const std::string recorded = CorpusText(steps, kHeader);
  if (std::getenv("ORVIK_RECORD_CORPUS")) {
    std::ofstream(kCorpus, std::ios::binary) << recorded;
    GTEST_SKIP() << "recorded " << kCorpus;
  }
  std::ifstream file(kCorpus, std::ios::binary);
  ASSERT_TRUE(file) << kCorpus;
  std::stringstream stored;
  stored << file.rdbuf();
  EXPECT_EQ(recorded, stored.str());
}

}  // namespace
}  // namespace orvik::client
