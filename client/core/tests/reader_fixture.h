// The shell and a recording screen form, as the transmission readers' tests need them.

#ifndef ORVIK_CLIENT_CORE_TESTS_READER_FIXTURE_H_
#define ORVIK_CLIENT_CORE_TESTS_READER_FIXTURE_H_

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fake_dialogs.h"
#include "functions.h"
#include "monitor_log.h"
#include "recording_screen_form.h"
#include "rx_process.h"
#include "shell_context.h"
#include "styles.h"

namespace orvik::client {

// The screen form's calls, by name.
using Calls = std::vector<std::string>;
inline const Calls kMaster = {"FormRXProcessMaster"};
inline const Calls kTerminal = {"TerminalDraw"};

// What a transmission must leave; only what is given is checked.
struct Expect {
  std::optional<std::string> state = {}, previous = {}, state2 = {}, formState = {};
  std::optional<std::vector<std::string>> calls = {};  // the screen form's, in order
  std::map<std::int32_t, std::string> rows = {};       // EntrySpec rows, as ReaderTest::Row
  std::optional<std::string> cells = {};               // grid cell records, as ReaderTest::Cells
  std::map<std::int32_t, std::string> popups = {};
  std::optional<std::string> pending = {};  // what stays in msRX
  std::optional<std::string> data = {};     // msData
  std::optional<std::string> dialog = {};   // msDialog
};

class ReaderTest : public ::testing::Test {
 protected:
  static constexpr float kCellWidth = 144;  // twips: one character cell

  ReaderTest() { StyleDefaultsSet(styles, kCellWidth); }

  ScreenModel& model() { return form.model; }
  ScreenStates& states() { return form.model.states; }
  const EntrySpecTable& spec() { return form.model.entrySpec; }

  // The screen as the state machine leaves it after drawing.
  void SetStates(std::string state, std::string formState, std::string state2 = {}) {
    states().msState = std::move(state);
    states().msFormState = std::move(formState);
    states().msState2 = std::move(state2);
  }

  // Dispatches `text` as one complete transmission (PollCounter 0); returns what stays
  // pending.
  std::string Dispatch(std::string text) {
    RXProcess(text, form, shell);
    return text;
  }

  // The attributes 1 to 12 of a row joined by "|", trailing empty ones left out.
  std::string Row(std::int32_t row) {
    std::string joined;
    std::int32_t last = 0;
    for (std::int32_t a = 1; a <= 12; ++a) {
      if (!spec().Get(row, a).empty()) last = a;
    }
    for (std::int32_t a = 1; a <= last; ++a) {
      if (a > 1) joined += '|';
      joined += spec().Get(row, a);
    }
    return joined;
  }

  // The grid cell records as "ACTION col,row text" lines.
  std::string Cells() {
    std::string out;
    const GridCellRecords& cells = model().gridCells;
    for (std::int32_t i = 1; i <= cells.UpperBound(); ++i) {
      out += cells.CellAction(i) + " " + std::to_string(cells.Col(i)) + "," +
             std::to_string(cells.Row(i)) + " " + cells.CellText(i) + "\n";
    }
    return out;
  }

  // Checks `e` against the model, `pending` and the calls recorded since `firstCall`.
  void Check(const Expect& e, const std::string& pending, std::size_t firstCall = 0) {
    const ScreenStates& st = states();
    if (e.state) {
      EXPECT_EQ(st.msState, *e.state);
    }
    if (e.previous) {
      EXPECT_EQ(st.msStatePrevious, *e.previous);
    }
    if (e.state2) {
      EXPECT_EQ(st.msState2, *e.state2);
    }
    if (e.formState) {
      EXPECT_EQ(st.msFormState, *e.formState);
    }
    if (e.calls) {
      std::vector<std::string> names = form.CallNames();
      names.erase(names.begin(),
                  names.begin() + static_cast<std::ptrdiff_t>(std::min(firstCall, names.size())));
      EXPECT_EQ(names, *e.calls);
    }
    for (const auto& [row, text] : e.rows) EXPECT_EQ(Row(row), text) << "row " << row;
    if (e.cells) {
      EXPECT_EQ(Cells(), *e.cells);
    }
    for (const auto& [slot, text] : e.popups) EXPECT_EQ(model().popups.Get(slot), text);
    if (e.pending) {
      EXPECT_EQ(pending, *e.pending);
    }
    if (e.data) {
      EXPECT_EQ(model().texts.msData, *e.data);
    }
    if (e.dialog) {
      EXPECT_EQ(model().texts.msDialog, *e.dialog);
    }
  }

  ClientSettings settings;
  StylesDictionary styles;
  Functions fns{false};
  FakeDialogs dialogs;
  MonitorLog monitor{settings};
  ShellContext shell{settings, styles, fns, dialogs, &monitor, kCellWidth, 0, {}};
  RecordingScreenForm form;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_TESTS_READER_FIXTURE_H_
