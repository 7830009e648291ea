// 10,000 random and truncated transmissions through the dispatcher: it never throws, never
// touches memory outside the model (run it under a sanitizer to see that too), and always
// leaves states that the client's rules name.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "corpus_file.h"
#include "grid_fill.h"
#include "example_transmissions.h"
#include "reader_fixture.h"
#include "vb_error.h"

namespace orvik::client {
namespace {

constexpr int kRuns = 10000;

// Every text the corpora hold, the engine's recorded pieces and the example transmissions.
std::vector<std::string> Seeds() {
  std::vector<std::string> seeds;
  std::ifstream file(std::filesystem::path(ORVIK_CLIENT_CORPUS_DIR) / "engine_session.txt",
                     std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  for (const CorpusStep& step : ParseCorpus(text.str())) {
    std::string whole;
    for (const std::string& chunk : step.chunks) whole += chunk;
    seeds.push_back(whole);
  }
  for (const ExampleTransmission& c : ExampleTransmissions()) seeds.push_back(c.text);
  return seeds;
}

// The runs are the same every time; ORVIK_FUZZ_SEED gives others.
unsigned FuzzSeed() {
  const char* seed = std::getenv("ORVIK_FUZZ_SEED");
  return seed ? static_cast<unsigned>(std::strtoul(seed, nullptr, 10)) : 20240522u;
}

class Mutator {
 public:
  explicit Mutator(std::vector<std::string> seeds) : seeds_(std::move(seeds)) {}

  std::string Next() {
    switch (Pick(6)) {
      case 0: {  // truncated
        const std::string& s = Seed();
        return s.substr(0, Pick(s.size() + 1));
      }
      case 1: {  // a piece cut out, or doubled
        std::string s = Seed();
        const std::size_t at = Pick(s.size() + 1);
        const std::size_t n = Pick(s.size() - at + 1);
        if (Pick(2))
          s.erase(at, n);
        else
          s.insert(at, s.substr(at, n));
        return s;
      }
      case 2: {  // the end of one with the start of another
        const std::string& end = Seed();
        const std::string& start = Seed();
        return end.substr(Pick(end.size() + 1)) + start.substr(0, Pick(start.size() + 1));
      }
      case 3:
        return Tags();
      case 4: {  // random bytes, marks and angle brackets among them
        std::string s(Pick(64), ' ');
        for (char& c : s) c = static_cast<char>(Pick(256));
        return s;
      }
      default: {  // a seed with some bytes changed
        std::string s = Seed();
        for (int k = 0, n = static_cast<int>(Pick(4)); k < n && !s.empty(); ++k) {
          static constexpr std::string_view kBytes = "<>=, \\|/\xFE\r\n0-9AZ";
          s[Pick(s.size())] = kBytes[Pick(kBytes.size())];
        }
        return s;
      }
    }
  }

 private:
  std::size_t Pick(std::size_t n) { return n == 0 ? 0 : rng_() % n; }
  const std::string& Seed() { return seeds_[Pick(seeds_.size())]; }

  std::string Number() {
    static const char* const kNumbers[] = {"0",  "1",          "2",   "3",   "5",     "80",
                                           "99", "100",        "200", "201", "-1",    "-7",
                                           "",   "2147483647", "1e9", "2.5", "&H10&", "x"};
    return kNumbers[Pick(std::size(kNumbers))];
  }

  // Tags of the client's grammar with attribute values good and bad.
  std::string Tags() {
    static const char* const kWords[] = {
        "FORM",     "POSITION", "TEXTBOX",   "COMBO",      "CHECK",     "COMMAND",  "LABEL",
        "GRID",     "COLUMN",   "GRIDCELL",  "GRIDFILL",   "/GRIDFILL", "DATA",     "MSGBOX",
        "POPUP",    "/POPUP",   "DO_POPUP",  "ACTIONCODE", "REFRESH",   "TERMINAL", "FORMHEADER",
        "FH",       "PROGRAM",  "INI",       "STYLE",      "STEPOPEN",  "FULLOPEN", "NOMINATE",
        "SETFOCUS", "ATF",      "ADDON",     "GRID.CLEAR", "/TX",       "C",        "L",
        "A",        "H",        "LOGOFF_OK", "SUBFORM"};
    static const char* const kKeys[] = {"TYPE",     "ACTION",      "SUBACTION", "TOP",   "LEFT",
                                        "ROW",      "COL",         "WIDTH",     "ROWS",  "INDEX",
                                        "ETYPE",    "SCREEN",      "GUIPLUS",   "STYLE", "NAME",
                                        "TOPASSOC", "BOTTOMASSOC", "ENABLED",   "@"};
    static const char* const kTypes[] = {"MENU",     "FUNCTION", "SEARCH", "REFRESH", "UPDATE",
                                         "READONLY", "GUIPLUS",  "INTEG",  "YESNO",   "INFO",
                                         "NOMINATE", "BOX",      "TRUE",   "FALSE",   "OKONLY"};
    std::string s;
    const char separator = Pick(4) == 0 ? ',' : ' ';
    for (int t = 0, n = 1 + static_cast<int>(Pick(12)); t < n; ++t) {
      s += '<';
      s += kWords[Pick(std::size(kWords))];
      for (int a = 0, m = static_cast<int>(Pick(4)); a < m; ++a) {
        s += separator;
        s += kKeys[Pick(std::size(kKeys))];
        s += '=';
        if (Pick(3) == 0) {
          s += kTypes[Pick(std::size(kTypes))];
        } else {
          s += Number();
          if (Pick(4) == 0) s += "|" + Number() + (Pick(2) ? "|" + Number() : "");
        }
      }
      if (Pick(12) != 0) s += '>';
      static const char* const kTails[] = {"",        "text",  " x ",  "{NULL}", "A\\B",
                                           "CHAR(65", "a,b,c", "\r\n", "&amp;",  "1|2|3"};
      s += kTails[Pick(std::size(kTails))];
    }
    if (Pick(3) != 0) s += "</TX>";
    return s;
  }

  std::vector<std::string> seeds_;
  std::mt19937 rng_{FuzzSeed()};
};

bool Named(std::string_view value, std::span<const std::string_view> names) {
  return value.empty() || std::find(names.begin(), names.end(), value) != names.end();
}

class RxFuzzTest : public ReaderTest {};

TEST_F(RxFuzzTest, RandomAndTruncatedTransmissionsLeaveNamedStates) {
  Mutator mutator(Seeds());
  std::mt19937 rng(FuzzSeed() + 1);
  SetStates("TERMINAL", "TERMINAL");
  std::string rx;
  int recoveries = 0;
  for (int run = 0; run < kRuns; ++run) {
    SCOPED_TRACE(run);
    // Now and then the rest of the screen changes the states as it would.
    if (rng() % 4 == 0) {
      states().msState = std::string(kConversationStates[rng() % kConversationStates.size()]);
      states().msFormState = std::string(kScreenKinds[rng() % kScreenKinds.size()]);
      states().msState2 =
          rng() % 2 ? std::string(kSecondaryStates[rng() % kSecondaryStates.size()]) : "";
    }
    form.onCall = [&](const std::string& name, ScreenModel&) {
      if (name == "FormRXProcessMaster" && rng() % 50 == 0) throw VbError(5);
    };
    shell.pollCounter = rng() % 5 == 0 ? settings.timeout + 1 : 0;
    if (rx.size() > 4000 || rng() % 3 == 0) rx.clear();
    const std::string text = mutator.Next();
    rx += text;
    const std::size_t boxes = dialogs.boxes.size();
    ASSERT_NO_THROW(RXProcess(rx, form, shell)) << EscapeBytes(text);
    if (rx.starts_with("<TERMINAL>") && dialogs.boxes.size() > boxes) ++recoveries;

    const ScreenStates& st = states();
    ASSERT_TRUE(st.msState.starts_with(state::kMsgBoxPrefix) ||
                Named(st.msState, kConversationStates))
        << st.msState << " after " << EscapeBytes(text);
    ASSERT_TRUE(Named(st.msFormState, kScreenKinds)) << st.msFormState;
    ASSERT_TRUE(Named(st.msState2, kSecondaryStates)) << st.msState2;
    ASSERT_TRUE(st.msStatePrevious.starts_with(state::kMsgBoxPrefix) ||
                Named(st.msStatePrevious, kConversationStates) ||
                Named(st.msStatePrevious, kSecondaryStates))
        << st.msStatePrevious;
    ASSERT_GE(model().items.entryRowCount, 0);
    ASSERT_LE(model().items.entryRowCount, kEntryRows);
    ASSERT_GE(model().gridCells.UpperBound(), 1);

    // The grid fill loader on whatever the parser put aside, into a grid of some shape.
    if (!model().items.gridFillText.empty()) {
      try {
        model().grid.SetRows(1 + static_cast<std::int32_t>(rng() % 5));
        model().grid.SetCols(1 + static_cast<std::int32_t>(rng() % 5));
        GridFillLoad(model(), shell);
      } catch (const VbError&) {
        // A grid error is the layout's to report.
      }
      ASSERT_EQ(model().items.gridFillText, "");
    }
    dialogs.boxes.clear();
  }
  // The recovery was exercised, and not by every run.
  EXPECT_GT(recoveries, 0);
  EXPECT_LT(recoveries, kRuns / 4);
}

}  // namespace
}  // namespace orvik::client
