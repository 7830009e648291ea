// The fixture of the tests that drive the real client program in real windows: OvEngLink run
// as a process on the test's private X server, under its window manager, over a fresh
// embedded home with the demo application and a few programs of the tests' own. It is
// driven only as a user drives it, by key presses and mouse clicks that go through the X
// server to whatever window the window manager gave the keyboard; nothing hands a window
// the keyboard behind the user's back.
//
// What a scenario checks is what the engine stored (items of the home's databases, its user
// registry and its lock table, read from the datastore itself) and what the screen shows:
// the windows that open and close, and the pixels of the screen form where they are the only
// witness (menu items, entry boxes and their colours, terminal rows). The traffic monitor
// opens a window of its own and takes the keyboard back to the form when it hides, which
// would mend a screen that failed to take it: a scenario reads its log only at its end.
//
// Test thread only; the display is the one main() started (g_display).

#ifndef ORVIK_CLIENT_APP_TESTS_WINDOW_FIXTURE_H_
#define ORVIK_CLIENT_APP_TESTS_WINDOW_FIXTURE_H_

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QImage>
#include <QProcess>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "demo_home.h"
#include "home_query.h"
#include "setup.h"
#include "user_registry.h"
#include "x_driver.h"

namespace orvik::client::xtest {

namespace fs = std::filesystem;

// The display of this test process, started by main before any test.
inline std::string g_display;

// Programs of the tests' own, besides the demo, in the account shop.
// HOLD locks an item for update and holds it until Enter.
inline constexpr const char* kHoldProgram = R"(function HOLD() {
  var f = Ref("");
  if (!OOpen("HELD", f)) { ExecutePS("CREATE-FILE HELD 1"); OOpen("HELD", f); }
  WWrite("kept", f.value, "H1");
  var item = Ref("");
  RReadU(item, f.value, "H1");
  CRT("holding H1");
  IInput(Ref(""));
}
)";
// LAYOUT, for the layout checks: a full terminal line of 80 columns (the last an X); after
// Enter a menu; after a choice a popup placed and sized far off any screen; after the next
// choice a message box of 36 KB of text.
inline constexpr const char* kLayoutProgram = R"(function LAYOUT() {
  var line = "";
  for (var i = 0; i < 79; ++i) line += String(i % 10);
  CRT(line + "X");
  var reply = Ref("");
  IInput(reply);
  CRT("<FORM TYPE=MENU STYLE=mdefault><PROGRAM NAME=LAYOUT><C ACTION=1>On<ALT_SELECT>Pick</TX>",
      false);
  IInput(reply);
  CRT("<POPUP SCREEN=BOX TOP=99999999 LEFT=30 WIDTH=-5 HEIGHT=4>Far away" +
      "<POSITION TOP=2 LEFT=32>Here</POPUP></TX>", false);
  IInput(reply);
  var text = "";
  while (text.length < 36 * 1024) text += "A line of a long message.\r\n";
  CRT("<MSGBOX TYPE=INFO>" + text + "</TX>", false);
  IInput(reply);
}
)";
// FORMEND asks for a value on a form of one entry, keeps it in KEPT V1 and ends: the
// terminal is back.
inline constexpr const char* kFormThenTerminalProgram = R"(function FORMEND() {
  CRT("<FORM TYPE=FUNCTION SCREEN=FULL><PROGRAM NAME=FORMEND><FORMHEADER>Tests,A value,T" +
      "<POSITION TOP=4 LEFT=2>Value<POSITION TOP=4 LEFT=20><NOMINATE WIDTH=8 MAXLENGTH=8></TX>",
      false);
  var v = Ref("");
  IInput(v);
  var f = Ref("");
  if (!OOpen("KEPT", f)) { ExecutePS("CREATE-FILE KEPT 1"); OOpen("KEPT", f); }
  WWrite(v.value, f.value, "V1");
  CRT("kept " + v.value);
}
)";
// SUBNOTE opens a sub-form and talks to it as a terminal: a prompt, a line read and kept in
// KEPT S1; then the sub-form closes.
inline constexpr const char* kSubformTextProgram = R"(function SUBNOTE() {
  CRT("<SUBFORM>A note in a sub-form");
  CRT("Note:", false);
  var v = Ref("");
  IInput(v);
  var f = Ref("");
  if (!OOpen("KEPT", f)) { ExecutePS("CREATE-FILE KEPT 1"); OOpen("KEPT", f); }
  WWrite(v.value, f.value, "S1");
  CRT("</SUBFORM>");
}
)";

// A horizontal band of rows of a picture in which some pixel is of a kind.
struct Band {
  int top = 0, bottom = 0, left = 0;
  int Middle() const { return (top + bottom) / 2; }
};

// The bands of `picture` (between columns `from` and `to`) whose rows hold pixels `ink`
// accepts, top to bottom.
inline std::vector<Band> InkBands(const QImage& picture, const std::function<bool(QRgb)>& ink,
                                  int from = 0, int to = -1) {
  std::vector<Band> bands;
  if (to < 0 || to > picture.width()) to = picture.width();
  bool inside = false;
  for (int y = 0; y < picture.height(); ++y) {
    int left = -1;
    for (int x = from; x < to && left < 0; ++x) {
      if (ink(picture.pixel(x, y))) left = x;
    }
    if (left >= 0 && !inside) bands.push_back({y, y, left});
    if (left >= 0) {
      bands.back().bottom = y;
      bands.back().left = std::min(bands.back().left, left);
    }
    inside = left >= 0;
  }
  return bands;
}

// The demo's menu: its items, and the place of the popup's item among them.
inline constexpr std::size_t kMenuItems = 9;
inline constexpr std::size_t kPopupItem = 3;

// The menu's items are drawn in its style's dark blue; nothing else on the screen is.
inline bool MenuItemInk(QRgb p) { return qBlue(p) > 90 && qRed(p) < 60 && qGreen(p) < 60; }
// The form header and a grid's heading and row numbers are dark red.
inline bool GridHeadingInk(QRgb p) { return qRed(p) > 100 && qGreen(p) < 30 && qBlue(p) < 30; }
inline bool DarkText(QRgb p) { return qRed(p) < 90 && qGreen(p) < 90 && qBlue(p) < 90; }
inline bool White(QRgb p) { return qRed(p) >= 250 && qGreen(p) >= 250 && qBlue(p) >= 250; }

// The value mark as the datastore's text holds it (UTF-8).
inline const std::string kValueMark = "\xC3\xBD";

// An entry open over a grid cell: light cyan, or the light green of one the engine took.
inline bool OpenCellInk(QRgb p) {
  return qGreen(p) > 200 && ((qRed(p) < 80 && qBlue(p) > 200) ||
                             (qRed(p) > 100 && qRed(p) < 160 && qBlue(p) > 100 && qBlue(p) < 160));
}

// Where a grid's last data column shows on a screen form's picture: the right end of the
// grid's heading row (the second band of dark red, under the form header) and the band of
// each line's text in the column, top to bottom. None while no grid shows.
struct GridColumn {
  int right = 0;
  std::vector<Band> lines;
  bool operator==(const GridColumn& o) const {
    return right == o.right && lines.size() == o.lines.size() &&
           (lines.empty() || lines.front().top == o.lines.front().top);
  }
};
inline std::optional<GridColumn> LastGridColumn(const QImage& picture) {
  const std::vector<Band> red = InkBands(picture, GridHeadingInk);
  if (red.size() < 2) return std::nullopt;
  GridColumn column;
  for (int x = 0; x < picture.width(); ++x) {
    if (GridHeadingInk(picture.pixel(x, red[1].top + 2))) column.right = x;
  }
  if (column.right < picture.width() / 3) return std::nullopt;
  for (const Band& line : InkBands(picture, DarkText, column.right - 120, column.right - 30)) {
    if (line.top > red[1].bottom) column.lines.push_back(line);
  }
  if (column.lines.empty()) return std::nullopt;
  return column;
}
// Whether the entry is open over the cell of `line` in that column.
inline bool CellOpen(const QImage& picture, const GridColumn& column, const Band& line) {
  for (int x = column.right - 110; x < column.right - 10; ++x) {
    if (OpenCellInk(picture.pixel(x, line.top + 4))) return true;
  }
  return false;
}

// What an entry box shows as its colour: plain, taken (the style's green), worked on (the
// yellow of an entry the engine sent back), a grid's cyan; kNone for anything else.
enum class Shade { kNone, kWhite, kGreen, kYellow, kCyan };
inline Shade ShadeOf(QRgb p) {
  const int r = qRed(p), g = qGreen(p), b = qBlue(p);
  if (White(p)) return Shade::kWhite;
  if (std::abs(r - 128) < 20 && g > 240 && std::abs(b - 128) < 20) return Shade::kGreen;
  if (r > 240 && g > 240 && b < 40) return Shade::kYellow;
  if (r < 40 && g > 240 && b > 240) return Shade::kCyan;
  return Shade::kNone;
}
inline std::ostream& operator<<(std::ostream& out, Shade s) {
  static const char* const kNames[] = {"none", "white", "green", "yellow", "cyan"};
  return out << kNames[static_cast<int>(s)];
}

class ClientWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(g_display.empty()) << "no X server";
    home_ = fs::temp_directory_path() / ("orvik-client-window-" + std::to_string(::getpid()));
    fs::remove_all(home_);
    fs::create_directories(home_);
    std::string error;
    ASSERT_TRUE(SetUpDemoHome(home_, "shop", "demo", "demo", &error)) << error;
    std::ofstream(home_ / "hold.js") << kHoldProgram;
    std::ofstream(home_ / "formend.js") << kFormThenTerminalProgram;
    std::ofstream(home_ / "subnote.js") << kSubformTextProgram;
    std::ofstream(home_ / "layout.js") << kLayoutProgram;
    SetupOptions o;
    o.home = home_.string();
    o.catalog = {{"shop", "HOLD", "JavaScript", "hold.js HOLD"},
                 {"shop", "FORMEND", "JavaScript", "formend.js FORMEND"},
                 {"shop", "SUBNOTE", "JavaScript", "subnote.js SUBNOTE"},
                 {"shop", "LAYOUT", "JavaScript", "layout.js LAYOUT"}};
    ASSERT_TRUE(RunSetup(
        o, [](const std::string&) {}, &error))
        << error;
  }
  void TearDown() override {
    if (client_.state() != QProcess::NotRunning) {
      client_.kill();
      client_.waitForFinished(5000);
    }
    fs::remove_all(home_);
  }

  // Starts the client and waits for its screen form, made as big as the screen allows.
  void StartClient() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", QString::fromStdString(g_display));
    env.remove("QT_QPA_PLATFORM");
    client_.setProcessEnvironment(env);
    client_.setProcessChannelMode(QProcess::ForwardedChannels);
    // The client dies with the test, however the test ends.
    client_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    client_.start(ORVIK_CLIENT_PROGRAM, {"--home", QString::fromStdString(home_.string())});
    ASSERT_TRUE(client_.waitForStarted(10000));
    form_ = x_.WaitWindow(Pid(), "^Connected to ");
    ASSERT_NE(form_, 0u) << "no screen form window";
    x_.Resize(form_, 1280, 1000);
  }
  std::int64_t Pid() { return client_.processId(); }

  // Types `text` and Enter, into whatever has the keyboard, as a user at the screen does.
  void Enter(const std::string& text) {
    if (!text.empty()) {
      ASSERT_TRUE(x_.Type(text));
    }
    ASSERT_TRUE(x_.Keys({"Return"}));
  }

  QImage Screen() { return x_.Picture(form_); }
  // The screen form's picture once it holds still (drawn), as a user sees it settle.
  QImage StillScreen() {
    QImage last = Screen();
    QImage now;
    WaitUntil([&] {
      WaitUntil([] { return false; }, 250ms);
      now = Screen();
      const bool still = now == last;
      last = now;
      return still;
    });
    return now;
  }

  // Waits for the terminal to show `rows` rows of text (a prompt typed into too early would
  // lose what is typed to the login's own start).
  void WaitRows(std::size_t rows) {
    ASSERT_TRUE(WaitUntil([&] { return InkBands(Screen(), DarkText).size() >= rows; }))
        << "the terminal shows fewer than " << rows << " rows";
  }

  void LogIn() {
    ASSERT_NO_FATAL_FAILURE(WaitRows(2));  // the banner and "username:"
    Enter("demo");
    ASSERT_NO_FATAL_FAILURE(WaitRows(3));  // "password:"
    Enter("demo");
    ASSERT_TRUE(WaitUntil([&] { return !Registry().empty(); }))
        << "no session in the user registry";
  }

  // Logs in, moves to the demo's account and starts the demo; its menu is up on return.
  void StartDemo() {
    ASSERT_NO_FATAL_FAILURE(LogIn());
    Enter("LOGTO shop");
    Enter("DEMO");
    ASSERT_TRUE(WaitUntil([&] { return MenuItems().size() == kMenuItems; })) << "no menu";
  }

  // The demo's customer form by its code, its three entries drawn with nothing taken.
  void OpenCustomerForm() {
    Enter("1");
    std::vector<Shade> entries;
    ASSERT_TRUE(WaitEntries({Shade::kWhite, Shade::kWhite, Shade::kWhite}, &entries))
        << ::testing::PrintToString(entries);
  }
  // A customer of the demo as stored: "name|credit limit".
  std::string Customer(const std::string& id) {
    return Shop("SELECT A1 || '|' || A2 FROM DEMOCUST WHERE A0 = '" + id + "'");
  }

  // The form the client opened with is still up, alone. Waited for: a search that runs while
  // another of the client's windows is being destroyed can fail and find nothing, and a form
  // that had closed would not come back.
  bool FirstFormShown() {
    return WaitUntil([&] { return x_.Windows(Pid(), "^Connected to ").size() == 1; }, 5s);
  }

  // The menu items as the screen shows them.
  std::vector<Band> MenuItems() { return InkBands(Screen(), MenuItemInk); }

  // The entry boxes of a data-entry screen whose entries stand 20 columns in (the demo's),
  // top to bottom, by their colour, read just inside their left edge, where neither their
  // text nor its selection reaches.
  std::vector<Shade> Entries() {
    const QImage picture = Screen();
    const int inside = picture.width() * 20 / 80 + 2;
    std::vector<Shade> shades;
    for (const Band& band : InkBands(
             picture, [](QRgb p) { return ShadeOf(p) != Shade::kNone; }, inside, inside + 1)) {
      if (band.bottom - band.top >= 10) shades.push_back(ShadeOf(picture.pixel(inside, band.Middle())));
    }
    return shades;
  }
  // Waits until the entries show `expected`, twice in a row (a screen being drawn shows a
  // part of it); the last ones seen in `seen`.
  bool WaitEntries(const std::vector<Shade>& expected, std::vector<Shade>* seen) {
    int agreeing = 0;
    return WaitUntil([&] {
      *seen = Entries();
      agreeing = *seen == expected ? agreeing + 1 : 0;
      return agreeing >= 2;
    });
  }

  // Whether only the screen form shows, none of the client's other windows: no popup, pick
  // list, message box, sub-form or monitor of an earlier screen is left.
  bool OnlyTheForm() {
    return WaitUntil(
        [&] {
          return x_.Windows(Pid(), ".").size() == 1 &&
                 x_.Windows(Pid(), "^Connected to ").size() == 1;
        },
        5s);
  }

  // The traffic monitor's log: Shift+F12 opens it, Ctrl+A and Ctrl+C in its log copy it, and
  // its Exit button (the rightmost of its top row) hides it again. Only at a scenario's end.
  std::string MonitorLog() {
    x_.Keys({"shift+F12"});
    const WindowId monitor = x_.WaitWindow(Pid(), "^OrvikLink Monitor$");
    if (monitor == 0) return "no monitor window";
    const WindowGeometry g = x_.Geometry(monitor);
    x_.Click(monitor, g.width / 2, g.height * 3 / 4);
    x_.Keys({"ctrl+a", "ctrl+c"});
    std::string log;
    WaitUntil([&] { return (log = x_.Clipboard()).find("RX:") != std::string::npos; }, 5s);
    x_.Click(monitor, g.width - 30, 21);
    EXPECT_TRUE(x_.WaitNoWindow(Pid(), "^OrvikLink Monitor$")) << "the monitor stays";
    return log;
  }

  // A message box: the client's box windows carry its name. Answered by the key `key`, which
  // goes to the box as the window manager gave it the keyboard.
  void AnswerBox(const std::string& key) {
    const WindowId box = x_.WaitWindow(Pid(), "^OrvikLink$");
    ASSERT_NE(box, 0u) << "no message box";
    WaitUntil([] { return false; }, 200ms);  // drawn, as a user sees it before he answers
    ASSERT_TRUE(x_.Keys({key}));
    ASSERT_TRUE(x_.WaitNoWindow(Pid(), "^OrvikLink$")) << "the box stays";
  }

  // The grid's last data column once it is drawn (two pictures in a row agree on it).
  GridColumn WaitGridColumn() {
    std::optional<GridColumn> column, before;
    WaitUntil([&] {
      before = column;
      column = LastGridColumn(Screen());
      return column && before && *column == *before;
    });
    EXPECT_TRUE(column.has_value()) << "no grid";
    return column.value_or(GridColumn{});
  }
  // Clicks the cell of `line` in the grid's last data column, as a user does once: the entry
  // opens over it with the keyboard and its value selected, so what is typed next replaces it.
  bool OpenLastColumnCell(const GridColumn& column, const Band& line) {
    EXPECT_TRUE(x_.Click(form_, column.right - 40, line.top + 4));
    return WaitUntil([&] { return CellOpen(Screen(), column, line); }, 5s);
  }
  std::string Item(const std::string& file, const std::string& id, const std::string& columns) {
    return Shop("SELECT " + columns + " FROM " + file + " WHERE A0 = '" + id + "'");
  }

  // The choices the demo's menu received, in order (its DEMOLOG items CHOICE1, CHOICE2 ...).
  std::string Choices() {
    std::string joined;
    for (int n = 1;; ++n) {
      std::string choice =
          Shop("SELECT coalesce(A1, '') || '.' FROM DEMOLOG WHERE A0 = 'CHOICE" +
               std::to_string(n) + "'");
      if (choice.empty()) return joined;
      choice.pop_back();
      joined += (n > 1 ? "," : "") + choice;
    }
  }
  bool WaitChoices(const std::string& expected) {
    return WaitUntil([&] { return Choices() == expected; });
  }
  // One value from the demo account's database.
  std::string Shop(const std::string& sql) { return QueryOne(home_ / "JetMDB" / "shop.db", sql); }
  // Attribute 1 of item `id` of the file KEPT, where the tests' programs keep what they read.
  std::string Kept(const std::string& id) {
    return Shop("SELECT A1 FROM KEPT WHERE A0 = '" + id + "'");
  }
  std::string Registry() { return UserRegistry(home_.string()).ListLines(); }
  std::string Locks() {
    return QueryOne(home_ / "JetMDB" / "locks.db", "SELECT group_concat(UserInst) FROM locks");
  }

  // OFF at the terminal: the engine says farewell in a box, the program ends, the session
  // with it.
  void LogOffAtTheTerminal() {
    Enter("OFF");
    ASSERT_NO_FATAL_FAILURE(AnswerBox("Return"));  // "OrvikEngine disconnecting"
    ASSERT_TRUE(client_.waitForFinished(20000)) << "the program goes on after OFF";
    EXPECT_EQ(client_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(client_.exitCode(), 0);
    EXPECT_EQ(Registry(), "") << "the session's registry line stays";
  }

  // Keeps the picture of `window` (the screen form when 0) in the screenshots folder.
  void SavePicture(const std::string& name, WindowId window = 0) {
    SaveImage(name, x_.Picture(window != 0 ? window : form_));
  }
  void SaveImage(const std::string& name, const QImage& picture) {
    const fs::path shots = fs::path(ORVIK_SCREENSHOT_DIR);
    fs::create_directories(shots);
    EXPECT_TRUE(picture.save(QString::fromStdString((shots / name).string())));
  }

  fs::path home_;
  XDriver x_{g_display};
  QProcess client_;
  WindowId form_ = 0;
};

}  // namespace orvik::client::xtest

#endif  // ORVIK_CLIENT_APP_TESTS_WINDOW_FIXTURE_H_
