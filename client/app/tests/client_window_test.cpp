// The real client program in a real window: OvEngLink run as a process on a private X server
// (Xvfb) over a fresh embedded home with the demo application, driven by key presses and
// mouse clicks that go through the X server as a keyboard's and a mouse's do. Each scenario
// checks what the engine stored (items of the home's databases, its user registry and its
// lock table, read from the datastore itself) and what the screen shows: the windows that
// open and close, the traffic monitor's log as a user copies it to the clipboard, and the
// pixels of the window where they are the only witness. The pictures of the terminal and the
// menu, the popup and the pick list are kept in the build's screenshots folder.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QWindow>
#include <QProcess>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>

#include "demo_home.h"
#include "home_query.h"
#include "setup.h"
#include "user_registry.h"
#include "x_driver.h"
#include "x_server.h"
#include "x_window_manager.h"

namespace orvik::client::xtest {
namespace {

namespace fs = std::filesystem;

// The display of this test process, started by main before any test.
std::string g_display;

// A program for the lock check: it locks an item for update and holds it until Enter.
constexpr const char* kHoldProgram = R"(function HOLD() {
  var f = Ref("");
  if (!OOpen("HELD", f)) { ExecutePS("CREATE-FILE HELD 1"); OOpen("HELD", f); }
  WWrite("kept", f.value, "H1");
  var item = Ref("");
  RReadU(item, f.value, "H1");
  CRT("holding H1");
  IInput(Ref(""));
}
)";

// A program for the layout checks: a full terminal line of 80 columns (the last an X); after
// Enter a menu; after a choice a popup placed and sized far off any screen; after the next
// choice a message box of 36 KB of text.
constexpr const char* kLayoutProgram = R"(function LAYOUT() {
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

// A horizontal band of rows of a picture in which some pixel is of a kind.
struct Band {
  int top = 0, bottom = 0, left = 0;
  int Middle() const { return (top + bottom) / 2; }
};

// The bands of `picture` (between columns `from` and `to`) whose rows hold pixels `ink`
// accepts, top to bottom.
std::vector<Band> InkBands(const QImage& picture, const std::function<bool(QRgb)>& ink,
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
constexpr std::size_t kMenuItems = 9;
constexpr std::size_t kPopupItem = 3;

// The menu's items are drawn in its style's dark blue; nothing else on the screen is.
bool MenuItemInk(QRgb p) { return qBlue(p) > 90 && qRed(p) < 60 && qGreen(p) < 60; }
bool GridHeadingInk(QRgb p) { return qRed(p) > 100 && qGreen(p) < 30 && qBlue(p) < 30; }
bool DarkText(QRgb p) { return qRed(p) < 90 && qGreen(p) < 90 && qBlue(p) < 90; }
// The value mark as the datastore's text holds it (UTF-8).
const std::string kValueMark = "\xC3\xBD";

// An entry open over a grid cell: light cyan, or the light green of one the engine took.
bool OpenCellInk(QRgb p) {
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
std::optional<GridColumn> LastGridColumn(const QImage& picture) {
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
bool CellOpen(const QImage& picture, const GridColumn& column, const Band& line) {
  for (int x = column.right - 110; x < column.right - 10; ++x) {
    if (OpenCellInk(picture.pixel(x, line.top + 4))) return true;
  }
  return false;
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
    std::ofstream(home_ / "layout.js") << kLayoutProgram;
    SetupOptions o;
    o.home = home_.string();
    o.catalog = {{"shop", "HOLD", "JavaScript", "hold.js HOLD"},
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

  // Waits for the terminal to show `rows` rows of text (a prompt typed into too early would
  // lose what is typed to the login's own start).
  void WaitRows(std::size_t rows) {
    ASSERT_TRUE(WaitUntil([&] { return InkBands(x_.Picture(form_), DarkText).size() >= rows; }))
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

  // The form the client opened with is still up, alone. Waited for: a search that runs while
  // another of the client's windows is being destroyed can fail and find nothing, and a form
  // that had closed would not come back.
  bool FirstFormShown() {
    return WaitUntil([&] { return x_.Windows(Pid(), "^Connected to ").size() == 1; }, 5s);
  }

  // The menu items as the screen shows them.
  std::vector<Band> MenuItems() { return InkBands(x_.Picture(form_), MenuItemInk); }

  // The traffic monitor's log: Shift+F12 opens it, Ctrl+A and Ctrl+C in its log copy it, and
  // its Exit button (the rightmost of its top row) hides it again.
  std::string MonitorLog() {
    x_.Keys({"shift+F12"});
    const WindowId monitor = x_.WaitWindow(Pid(), "^OrvikLink Monitor$");
    if (monitor == 0) return "no monitor window";
    const WindowGeometry g = x_.Geometry(monitor);
    x_.Click(monitor, g.width / 2, g.height * 3 / 4);
    x_.Keys({"ctrl+a", "ctrl+c"});
    std::string log;
    WaitUntil([&] { return (log = x_.Clipboard()).find("RX:") != std::string::npos; }, 5s);
    HideMonitor(monitor);
    return log;
  }
  void HideMonitor(WindowId monitor) {
    const WindowGeometry g = x_.Geometry(monitor);
    x_.Click(monitor, g.width - 30, 21);
    EXPECT_TRUE(x_.WaitNoWindow(Pid(), "^OrvikLink Monitor$")) << "the monitor stays";
  }
  // Sends `line` from the monitor's command line.
  void SendFromMonitor(const std::string& line) {
    x_.Keys({"shift+F12"});
    const WindowId monitor = x_.WaitWindow(Pid(), "^OrvikLink Monitor$");
    ASSERT_NE(monitor, 0u);
    ASSERT_TRUE(x_.Click(monitor, 40, 21));  // its command line, the left of its top row
    ASSERT_TRUE(x_.Type(line));
    ASSERT_TRUE(x_.Keys({"Return"}));
    HideMonitor(monitor);
  }

  // A message box: the client's box windows carry its name. Answered by the key `key`.
  void AnswerBox(const std::string& key) {
    const WindowId box = x_.WaitWindow(Pid(), "^OrvikLink$");
    ASSERT_NE(box, 0u) << "no message box";
    ASSERT_TRUE(x_.Keys({key}));
    ASSERT_TRUE(x_.WaitNoWindow(Pid(), "^OrvikLink$")) << "the box stays";
  }

  // The grid's last data column once it is drawn (two pictures in a row agree on it).
  GridColumn WaitGridColumn() {
    std::optional<GridColumn> column, before;
    WaitUntil([&] {
      before = column;
      column = LastGridColumn(x_.Picture(form_));
      return column && before && *column == *before;
    });
    EXPECT_TRUE(column.has_value()) << "no grid";
    return column.value_or(GridColumn{});
  }
  // Clicks the cell of `line` in the grid's last data column, as a user does once: the entry
  // opens over it with the keyboard and its value selected, so what is typed next replaces it.
  bool OpenLastColumnCell(const GridColumn& column, const Band& line) {
    EXPECT_TRUE(x_.Click(form_, column.right - 40, line.top + 4));
    return WaitUntil([&] { return CellOpen(x_.Picture(form_), column, line); }, 5s);
  }
  std::string Item(const std::string& file, const std::string& id, const std::string& columns) {
    return QueryOne(home_ / "JetMDB" / "shop.db",
                    "SELECT " + columns + " FROM " + file + " WHERE A0 = '" + id + "'");
  }

  // The choices the demo's menu received, in order (its DEMOLOG items CHOICE1, CHOICE2 ...).
  std::string Choices() {
    std::string joined;
    for (int n = 1;; ++n) {
      const std::string sql = "SELECT coalesce(A1, '') || '.' FROM DEMOLOG WHERE A0 = 'CHOICE" +
                              std::to_string(n) + "'";
      std::string choice = QueryOne(home_ / "JetMDB" / "shop.db", sql);
      if (choice.empty()) return joined;
      choice.pop_back();
      joined += (n > 1 ? "," : "") + choice;
    }
  }
  bool WaitChoices(const std::string& expected) {
    return WaitUntil([&] { return Choices() == expected; });
  }
  std::string Registry() { return UserRegistry(home_.string()).ListLines(); }
  std::string Locks() {
    return QueryOne(home_ / "JetMDB" / "locks.db", "SELECT group_concat(UserInst) FROM locks");
  }

  // Keeps the picture of `window` (the screen form when 0) in the screenshots folder.
  void SavePicture(const std::string& name, WindowId window = 0) {
    const fs::path shots = fs::path(ORVIK_SCREENSHOT_DIR);
    fs::create_directories(shots);
    EXPECT_TRUE(x_.Picture(window != 0 ? window : form_)
                    .save(QString::fromStdString((shots / name).string())));
  }

  fs::path home_;
  XDriver x_{g_display};
  QProcess client_;
  WindowId form_ = 0;
};

TEST_F(ClientWindowTest, LogsInRunsVerbsAndLogOffReleasesThePort) {
  ASSERT_NO_FATAL_FAILURE(StartClient());
  ASSERT_NO_FATAL_FAILURE(LogIn());
  const QImage welcome = x_.Picture(form_);
  Enter("WHO");
  Enter("LISTF");
  std::string log;
  ASSERT_TRUE(WaitUntil([&] {
    log = MonitorLog();
    return log.find("LISTF = List of Files/Tables") != std::string::npos;
  })) << log;
  EXPECT_NE(log.find("demo*"), std::string::npos) << "WHO shows the user instance\n" << log;
  // What was typed went key by key; the password's as stars.
  const auto count = [&](const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = log.find(what); at != std::string::npos; at = log.find(what, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("TX :d\n"), 1u) << log;
  EXPECT_EQ(count("TX :*\n"), 4u) << log;
  // The terminal drew the answers below the welcome: more rows carry text than before.
  const QImage answers = x_.Picture(form_);
  EXPECT_NE(answers, welcome);
  EXPECT_GE(InkBands(answers, DarkText).size(), 6u) << "the files and the prompt";
  SavePicture("client_terminal.png");

  // A lock a program of the session holds, freed when it ends; then log-off: the program
  // ends, and the port with it.
  Enter("LOGTO shop");
  Enter("HOLD");
  ASSERT_TRUE(WaitUntil([&] { return Locks().rfind("demo*", 0) == 0; })) << Locks();
  Enter("");
  ASSERT_TRUE(WaitUntil([&] { return Locks().empty(); })) << Locks();
  Enter("OFF");
  ASSERT_NO_FATAL_FAILURE(AnswerBox("Return"));  // "OrvikEngine disconnecting"
  ASSERT_TRUE(client_.waitForFinished(20000)) << "the program goes on after OFF";
  EXPECT_EQ(client_.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(client_.exitCode(), 0);
  EXPECT_EQ(Locks(), "") << "the session's lock stays";
  EXPECT_EQ(Registry(), "") << "the session's registry line stays";
}

// A signal that stops the client (a desktop that logs out, a service manager, Ctrl-C in the
// terminal it was started from, the terminal closed) ends the session first, as the close
// box does: a program's lock and the session's registry line go with it, whatever screen is
// up.
TEST_F(ClientWindowTest, ASignalEndsTheSessionBeforeTheClient) {
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signal);
    ASSERT_NO_FATAL_FAILURE(StartClient());
    ASSERT_NO_FATAL_FAILURE(LogIn());
    Enter("LOGTO shop");
    if (signal == SIGTERM) {
      Enter("HOLD");
      ASSERT_TRUE(WaitUntil([&] { return Locks().rfind("demo*", 0) == 0; })) << Locks();
    } else {
      Enter("DEMO");
      ASSERT_TRUE(WaitUntil([&] { return MenuItems().size() == kMenuItems; })) << "no menu";
      if (signal == SIGHUP) {
        Enter("9");  // the question stays up
        ASSERT_NE(x_.WaitWindow(Pid(), "^OrvikLink$"), 0u) << "no question";
      }
    }
    ASSERT_EQ(::kill(static_cast<pid_t>(Pid()), signal), 0);
    ASSERT_TRUE(client_.waitForFinished(20000)) << "the client goes on";
    EXPECT_EQ(client_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(client_.exitCode(), 0);
    EXPECT_EQ(Locks(), "") << "the session's lock stays";
    EXPECT_EQ(Registry(), "") << "the session's registry line stays";
  }
}

// What the screens show at the window's real sizes: the terminal's 80 columns whole, in the
// same font from one session to the next; a popup and a long message box on the screen; the
// window named for the engine home; the menu's heading over its items, not on them; and a
// window made smaller than its screen still reaching the menu's selection box and LogOff.
TEST_F(ClientWindowTest, TheScreensFitTheWindowAndTheScreen) {
  const QRect screen(0, 0, 1280, 1024);
  const auto onScreen = [&](WindowId window) {
    const WindowGeometry g = x_.Geometry(window);
    return screen.contains(QRect(g.x, g.y, g.width, g.height));
  };
  std::vector<Band> lines;
  for (int session = 0; session < 2; ++session) {
    SCOPED_TRACE(session);
    ASSERT_NO_FATAL_FAILURE(StartClient());
    EXPECT_EQ(x_.Title(form_), "Connected to " + home_.string());
    ASSERT_NO_FATAL_FAILURE(LogIn());
    Enter("LOGTO shop");
    Enter("LAYOUT");
    // The 80th column, the X, ends inside the window.
    const auto lastInk = [&] {
      const QImage picture = x_.Picture(form_);
      int last = -1;
      for (int y = 0; y < picture.height(); ++y) {
        for (int x = picture.width() - 1; x > last; --x) {
          if (DarkText(picture.pixel(x, y))) last = x;
        }
      }
      return std::pair<int, int>{last, picture.width()};
    };
    std::pair<int, int> ink;
    ASSERT_TRUE(WaitUntil([&] {
      ink = lastInk();
      return ink.first > ink.second * 3 / 4;
    })) << "no line of 80 columns";
    EXPECT_LT(ink.first, ink.second - 2) << "the 80th column is cut";
    const std::vector<Band> shown = InkBands(x_.Picture(form_), DarkText);
    if (session == 0) {
      lines = shown;
    } else {
      ASSERT_EQ(shown.size(), lines.size());
      for (std::size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(shown[i].top, lines[i].top) << "the font changed between sessions";
        EXPECT_EQ(shown[i].bottom, lines[i].bottom) << "the font changed between sessions";
      }
    }
    Enter("");
    ASSERT_TRUE(WaitUntil([&] { return MenuItems().size() == 1; })) << "no menu";
    Enter("1");
    // The popup that names a place far below any screen opens on it; Enter presses its OK.
    const WindowId popup = x_.WaitWindow(Pid(), "^Far away$");
    ASSERT_NE(popup, 0u) << "no popup";
    EXPECT_TRUE(onScreen(popup));
    ASSERT_TRUE(x_.Keys({"Return"}));
    ASSERT_TRUE(x_.WaitNoWindow(Pid(), "^Far away$")) << "the popup stays";
    // 36 KB of text in a box that stays on the screen; Enter answers it.
    Enter("1");
    const WindowId box = x_.WaitWindow(Pid(), "^OrvikLink$");
    ASSERT_NE(box, 0u) << "no box";
    EXPECT_TRUE(onScreen(box));
    ASSERT_TRUE(x_.Keys({"Return"}));
    ASSERT_TRUE(x_.WaitNoWindow(Pid(), "^OrvikLink$")) << "the box stays";
    if (session == 0) {
      Enter("OFF");
      ASSERT_NO_FATAL_FAILURE(AnswerBox("Return"));
      ASSERT_TRUE(client_.waitForFinished(20000));
    }
  }

  // The demo's menu: its heading ("Main menu", on its light yellow) above the first item.
  Enter("DEMO");
  ASSERT_TRUE(WaitUntil([&] { return MenuItems().size() == kMenuItems; })) << "no menu";
  const auto headingInk = [](QRgb p) { return qRed(p) > 240 && qGreen(p) > 240 && qBlue(p) < 235; };
  const std::vector<Band> heading = InkBands(x_.Picture(form_), headingInk);
  ASSERT_FALSE(heading.empty()) << "no heading";
  EXPECT_LT(heading.front().bottom, MenuItems().front().top) << "the heading covers item 1";

  // Out of the maximised state (a double click on the title bar) and made small: what has the
  // keyboard, the selection box, stays in view, and takes a choice.
  ASSERT_TRUE(x_.Click(form_, 300, -10, 2));
  ASSERT_TRUE(WaitUntil([&] { return x_.Geometry(form_).width < 1280; })) << "still maximised";
  ASSERT_TRUE(x_.Resize(form_, 900, 600));
  const auto panelInk = [](QRgb p) { return qRed(p) == 192 && qGreen(p) == 0 && qBlue(p) == 192; };
  ASSERT_TRUE(WaitUntil([&] {
    const QImage picture = x_.Picture(form_);
    return picture.height() <= 600 && !InkBands(picture, panelInk).empty() &&
           InkBands(picture, panelInk).back().bottom > picture.height() - 80;
  })) << "the selection panel is out of view";
  Enter("9");
  ASSERT_NO_FATAL_FAILURE(AnswerBox("n"));
  ASSERT_TRUE(WaitChoices("9")) << Choices();
  // LogOff, at the panel's right end, is reached by the horizontal scroll bar (clicks on its
  // trough) and pressed.
  const WindowGeometry g = x_.Geometry(form_);
  for (int page = 0; page < 4; ++page) ASSERT_TRUE(x_.Click(form_, g.width - 40, g.height - 6));
  WaitUntil([] { return false; }, 300ms);
  const QImage picture = x_.Picture(form_);
  const Band panel = InkBands(picture, panelInk).back();
  int right = -1;  // the rightmost button: light grey on the panel, left of the scroll bar
  bool onPanel = false;
  for (int x = picture.width() - 1; x >= 0 && right < 0; --x) {
    const QRgb p = picture.pixel(x, panel.Middle());
    onPanel = onPanel || panelInk(p);
    if (onPanel && qRed(p) > 200 && qGreen(p) > 200 && qBlue(p) > 200) right = x;
  }
  ASSERT_GT(right, picture.width() / 2) << "no LogOff in view";
  ASSERT_TRUE(x_.Click(form_, right - 30, panel.Middle()));
  ASSERT_NO_FATAL_FAILURE(AnswerBox("Return"));  // "You have neatly and cleanly logged off"
  ASSERT_TRUE(client_.waitForFinished(20000)) << "LogOff was not pressed";
  EXPECT_EQ(Choices(), "9,LO");
  EXPECT_TRUE(WaitUntil([&] { return Registry().empty(); }));
}

TEST_F(ClientWindowTest, TheMenuTakesPicksByMouseAndByCodeAndBoxesTheirAnswers) {
  ASSERT_NO_FATAL_FAILURE(StartClient());
  ASSERT_NO_FATAL_FAILURE(StartDemo());
  SavePicture("client_menu.png");

  // "Leave the demo" by its code, answered No: the menu stays.
  Enter("9");
  ASSERT_NO_FATAL_FAILURE(AnswerBox("n"));
  ASSERT_TRUE(WaitChoices("9")) << Choices();
  std::string log;
  ASSERT_TRUE(WaitUntil([&] { return (log = MonitorLog()).find("TX :N") != std::string::npos; }))
      << log;
  EXPECT_EQ(MenuItems().size(), kMenuItems);

  // Item 4 by mouse: a popup over the menu, closed by its OK (Enter).
  const std::vector<Band> items = MenuItems();
  ASSERT_EQ(items.size(), kMenuItems);
  ASSERT_TRUE(x_.Click(form_, items[kPopupItem].left + 10, items[kPopupItem].Middle()));
  const WindowId popup = x_.WaitWindow(Pid(), "^Orvik demo$");
  ASSERT_NE(popup, 0u) << "no popup";
  ASSERT_TRUE(WaitChoices("9,4")) << Choices();
  SavePicture("client_popup.png", popup);
  ASSERT_TRUE(x_.Keys({"Return"}));
  ASSERT_TRUE(x_.WaitNoWindow(Pid(), "^Orvik demo$")) << "the popup stays";
  EXPECT_EQ(MenuItems().size(), kMenuItems) << "the menu under the popup";

  // Typed again after the mouse and the popup: "Leave the demo" by its code, answered Yes;
  // the demo ends, the terminal is back.
  Enter("9");
  ASSERT_NO_FATAL_FAILURE(AnswerBox("y"));
  ASSERT_TRUE(WaitChoices("9,4,9")) << Choices();
  EXPECT_TRUE(WaitUntil([&] { return MenuItems().empty(); })) << "the menu stays";
  ASSERT_TRUE(WaitUntil([&] { return MonitorLog().find("TX :Y") != std::string::npos; }));

  Enter("OFF");
  ASSERT_NO_FATAL_FAILURE(AnswerBox("Return"));
  ASSERT_TRUE(client_.waitForFinished(20000));
  EXPECT_EQ(Registry(), "");
}

TEST_F(ClientWindowTest, ASearchPickReachesTheProgram) {
  ASSERT_NO_FATAL_FAILURE(StartClient());
  ASSERT_NO_FATAL_FAILURE(StartDemo());
  Enter("5");
  const WindowId list = x_.WaitWindow(Pid(), "^Customers$");
  ASSERT_NE(list, 0u) << "no pick list";
  // Its rows under the text box and the column headers: C100, then C200, double-clicked.
  SavePicture("client_pick_list.png", list);
  const std::vector<Band> rows = InkBands(x_.Picture(list), DarkText, 2, 100);
  ASSERT_GE(rows.size(), 4u);
  ASSERT_TRUE(x_.Click(list, rows.back().left + 10, rows.back().Middle(), 2));
  ASSERT_TRUE(x_.WaitNoWindow(Pid(), "^Customers$")) << "the pick list stays";
  // The program read the customer picked and sent its form.
  std::string log;
  ASSERT_TRUE(WaitUntil([&] {
    log = MonitorLog();
    return log.find("MAXLENGTH=30>Bolt & Co<") != std::string::npos;
  })) << log;
  EXPECT_NE(log.find("TX :C200"), std::string::npos) << log;

  // The form's way out, typed on the monitor's command line; then leaving from the menu.
  ASSERT_NO_FATAL_FAILURE(SendFromMonitor("X"));
  ASSERT_TRUE(WaitUntil([&] { return MenuItems().size() == kMenuItems; }));
  Enter("9");
  ASSERT_NO_FATAL_FAILURE(AnswerBox("y"));
  EXPECT_TRUE(WaitChoices("5,9")) << Choices();
}

// The customer form: an action code, then the field's new value and Enter; the program stores
// it in the customer's item.
TEST_F(ClientWindowTest, AFormFilledAndSentIsStored) {
  ASSERT_NO_FATAL_FAILURE(StartClient());
  ASSERT_NO_FATAL_FAILURE(StartDemo());
  Enter("1");
  std::string log;
  ASSERT_TRUE(WaitUntil([&] {
    log = MonitorLog();
    return log.find("MAXLENGTH=30>Acme Ltd<") != std::string::npos;
  })) << log;
  // Alt and the name's action code put the cursor in its entry, its text selected.
  ASSERT_TRUE(x_.Keys({"alt+2"}));
  Enter("Bolt Brothers");
  const auto name = [&] {
    return QueryOne(home_ / "JetMDB" / "shop.db", "SELECT A1 FROM DEMOCUST WHERE A0 = 'C100'");
  };
  ASSERT_TRUE(WaitUntil([&] { return name() == "Bolt Brothers"; })) << name();
  // The value went after its action code, and the form took it back: no error box.
  ASSERT_TRUE(WaitUntil([&] {
    log = MonitorLog();
    return log.find("TX :Bolt Brothers") != std::string::npos;
  })) << log;
  EXPECT_NE(log.find("TX :2\n"), std::string::npos) << log;
  EXPECT_TRUE(x_.Windows(Pid(), "^OrvikLink$").empty()) << "a message box";
  SavePicture("client_form.png");
}

TEST_F(ClientWindowTest, AGridCellEditedIsStored) {
  ASSERT_NO_FATAL_FAILURE(StartClient());
  ASSERT_NO_FATAL_FAILURE(StartDemo());
  Enter("2");
  // In a fresh session the first click on a quantity opens it, its value selected: what is
  // typed replaces it.
  const GridColumn qty = WaitGridColumn();
  ASSERT_GE(qty.lines.size(), 2u);
  ASSERT_TRUE(OpenLastColumnCell(qty, qty.lines[0])) << "no entry in the quantity's cell";
  ASSERT_TRUE(x_.Type("31"));
  ASSERT_TRUE(x_.Keys({"Return"}));
  // The first line's quantity, before its value mark and the second line's, stored.
  ASSERT_TRUE(WaitUntil([&] { return Item("DEMOORD", "O1", "A4") == "31" + kValueMark + "10"; }))
      << Item("DEMOORD", "O1", "A4");
  // The cell went as code|column|row|value; the program took it without an error box.
  std::string log;
  ASSERT_TRUE(WaitUntil([&] {
    return (log = MonitorLog()).find("TX :5|3|1|31") != std::string::npos;
  })) << log;
  EXPECT_TRUE(x_.Windows(Pid(), "^OrvikLink$").empty()) << "a message box";
  SavePicture("client_grid.png");
}

// The pick list looked at and closed, then the grid: its edits reach the store, by mouse and
// by keys, on the GUIPLUS grid and on the INTEG one; and so does an edit whose click brings
// the window back from another program.
TEST_F(ClientWindowTest, GridEditsAfterThePickListReachTheStore) {
  ASSERT_NO_FATAL_FAILURE(StartClient());
  ASSERT_NO_FATAL_FAILURE(StartDemo());
  Enter("5");
  ASSERT_NE(x_.WaitWindow(Pid(), "^Customers$"), 0u) << "no pick list";
  ASSERT_TRUE(x_.Keys({"Escape"}));
  ASSERT_TRUE(x_.WaitNoWindow(Pid(), "^Customers$")) << "the pick list stays";
  Enter("2");
  GridColumn qty = WaitGridColumn();
  ASSERT_GE(qty.lines.size(), 2u);
  ASSERT_TRUE(OpenLastColumnCell(qty, qty.lines[0])) << "no entry in the quantity's cell";
  Enter("27");
  ASSERT_TRUE(WaitUntil([&] { return Item("DEMOORD", "O1", "A4") == "27" + kValueMark + "10"; }))
      << Item("DEMOORD", "O1", "A4");
  // The program opens the next quantity: typed straight in, it goes too.
  ASSERT_TRUE(WaitUntil([&] { return CellOpen(x_.Picture(form_), qty, qty.lines[1]); }));
  Enter("8");
  ASSERT_TRUE(WaitUntil([&] { return Item("DEMOORD", "O1", "A4") == "27" + kValueMark + "8"; }))
      << Item("DEMOORD", "O1", "A4");

  // Another program takes the keyboard; a click on the first quantity brings the client
  // back and opens the cell, its value selected.
  QWindow other;
  other.setTitle("Another program");
  other.setGeometry(900, 700, 300, 200);
  other.show();
  ASSERT_TRUE(WaitUntil([&] { return other.isActive(); })) << "the other window is not active";
  ASSERT_TRUE(OpenLastColumnCell(qty, qty.lines[0])) << "no entry in the quantity's cell";
  Enter("5");
  ASSERT_TRUE(WaitUntil([&] { return Item("DEMOORD", "O1", "A4") == "5" + kValueMark + "8"; }))
      << Item("DEMOORD", "O1", "A4");
  other.hide();

  // A pick by keys, the customer's form left by Esc, and the INTEG grid: a click on the first
  // product's price, which the program's row dialog leads to, then its new value.
  ASSERT_TRUE(x_.Keys({"Escape"}));
  ASSERT_TRUE(WaitUntil([&] { return MenuItems().size() == kMenuItems; })) << "no menu";
  Enter("5");
  ASSERT_NE(x_.WaitWindow(Pid(), "^Customers$"), 0u) << "no pick list";
  Enter("C200");
  ASSERT_TRUE(x_.WaitNoWindow(Pid(), "^Customers$")) << "the pick list stays";
  ASSERT_TRUE(WaitUntil([&] { return MenuItems().empty(); })) << "no customer form";
  ASSERT_TRUE(x_.Keys({"Escape"}));
  ASSERT_TRUE(WaitUntil([&] { return MenuItems().size() == kMenuItems; })) << "no menu";
  Enter("6");
  const GridColumn price = WaitGridColumn();
  ASSERT_GE(price.lines.size(), 3u);
  ASSERT_TRUE(x_.Click(form_, price.right - 60, price.lines[0].Middle()));
  ASSERT_TRUE(WaitUntil([&] { return CellOpen(x_.Picture(form_), price, price.lines[0]); }))
      << "the row dialog does not reach the price";
  Enter("0.45");
  ASSERT_TRUE(WaitUntil([&] { return Item("DEMOPROD", "P101", "A1 || '/' || A2") == "Bolt/0.45"; }))
      << Item("DEMOPROD", "P101", "A1 || '/' || A2");
  EXPECT_TRUE(x_.Windows(Pid(), "^OrvikLink$").empty()) << "a message box";
  EXPECT_EQ(Choices(), "5,2,5,6");
}

// The products grid: a row's price clicked, changed and stored; a row inserted by the Insert
// key on a row's number, filled in the row dialog the program leads and stored as a new item;
// then deleted by the Delete key.
TEST_F(ClientWindowTest, AnIntegRowUpdatedInsertedAndDeletedIsStored) {
  ASSERT_NO_FATAL_FAILURE(StartClient());
  ASSERT_NO_FATAL_FAILURE(StartDemo());
  Enter("6");
  std::string log;
  // The grid's heading and the cells of its row numbers are bands of dark red under the form
  // header: the heading, a row a product and the empty row under them. The rows count once
  // two pictures in a row agree on them.
  const auto gridRows = [&] {
    std::vector<Band> red = InkBands(x_.Picture(form_), GridHeadingInk);
    if (red.size() < 2) return std::vector<Band>{};
    return std::vector<Band>(red.begin() + 2, red.end());
  };
  const auto same = [](const std::vector<Band>& a, const std::vector<Band>& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](const Band& x, const Band& y) {
             return x.top == y.top && x.bottom == y.bottom && x.left == y.left;
           });
  };
  std::vector<Band> rows;
  const auto rowsAre = [&](std::size_t count) {
    std::vector<Band> before;
    return WaitUntil([&] {
      before = rows;
      rows = gridRows();
      return rows.size() == count && same(rows, before);
    });
  };
  ASSERT_TRUE(rowsAre(4)) << "no grid of three products and the empty row: " << rows.size();
  const auto product = [&](const std::string& id) {
    return QueryOne(
        home_ / "JetMDB" / "shop.db",
        "SELECT coalesce(A1, '') || '/' || coalesce(A2, '') FROM DEMOPROD WHERE A0 = '" + id + "'");
  };
  // The grid's entry over a row's number, where the dark red of the number's cell was.
  const auto onNumber = [&](int row) {
    const Band& band = rows[static_cast<std::size_t>(row - 1)];
    return !GridHeadingInk(x_.Picture(form_).pixel(band.left + 4, band.Middle()));
  };
  // A row's number clicked once, then `key`: the client sends the row command.
  const auto rowCommand = [&](int row, const std::string& key, const std::string& sent) {
    const Band& band = rows[static_cast<std::size_t>(row - 1)];
    EXPECT_TRUE(x_.Click(form_, band.left + 10, band.Middle()));
    if (!WaitUntil([&] { return onNumber(row); }, 5s)) return false;
    EXPECT_TRUE(x_.Keys({key}));
    return WaitUntil([&] { return (log = MonitorLog()).find(sent) != std::string::npos; });
  };

  // The first product's price, clicked once: the click announces the row, the client sends
  // the id and the description as they are, and the program puts the cursor on the price,
  // its old value selected, so that what is typed replaces it.
  const GridColumn price = WaitGridColumn();
  ASSERT_FALSE(price.lines.empty());
  ASSERT_TRUE(x_.Click(form_, price.right - 60, price.lines[0].Middle()));
  ASSERT_TRUE(WaitUntil([&] { return CellOpen(x_.Picture(form_), price, price.lines[0]); }))
      << "the row dialog does not reach the price";
  ASSERT_TRUE(x_.Type("0.30"));
  ASSERT_TRUE(x_.Keys({"Return"}));
  ASSERT_TRUE(WaitUntil([&] { return product("P101") == "Bolt/0.30"; })) << product("P101");
  log = MonitorLog();
  EXPECT_LT(log.find("TX :6|M|1\n"), log.find("TX :P101\n")) << log;
  EXPECT_LT(log.find("TX :P101\n"), log.find("TX :Bolt\n")) << log;

  // Inserted above the second product: the program names it P104 and leads the cursor
  // through its description and price.
  ASSERT_TRUE(rowCommand(2, "Insert", "TX :6|I|2\n")) << log;
  ASSERT_TRUE(rowsAre(5)) << "no new row: " << rows.size();
  ASSERT_TRUE(x_.Type("Spring"));
  ASSERT_TRUE(x_.Keys({"Return"}));
  ASSERT_TRUE(WaitUntil([&] {
    return (log = MonitorLog()).find("TX :Spring\n") != std::string::npos;
  })) << log;
  ASSERT_TRUE(x_.Type("1.50"));
  ASSERT_TRUE(x_.Keys({"Return"}));
  ASSERT_TRUE(WaitUntil([&] { return product("P104") == "Spring/1.50"; })) << product("P104");
  EXPECT_EQ(product("P102"), "Nut/0.10") << "the product below is left as it was";
  EXPECT_TRUE(x_.Windows(Pid(), "^OrvikLink$").empty()) << "a message box";
  SavePicture("client_integ_grid.png");

  // The new row deleted: the item goes, and the row with it.
  ASSERT_TRUE(rowCommand(2, "Delete", "TX :6|D|2\n")) << log;
  ASSERT_TRUE(WaitUntil([&] { return product("P104").empty(); })) << product("P104");
  EXPECT_TRUE(rowsAre(4)) << "the row stays: " << rows.size();
  EXPECT_EQ(product("P101"), "Bolt/0.30");
  EXPECT_EQ(product("P102"), "Nut/0.10");
  EXPECT_TRUE(x_.Windows(Pid(), "^OrvikLink$").empty()) << "a message box";
}

// Item 3: a box of each type the client knows, one after the other: information, error, OK
// only (answered by Enter, which the client sends as an end of line alone) and a question
// (answered No). The program keeps what each box sent back; the menu is back after them.
TEST_F(ClientWindowTest, EveryKindOfMessageBoxIsShownAndAnswered) {
  ASSERT_NO_FATAL_FAILURE(StartClient());
  ASSERT_NO_FATAL_FAILURE(StartDemo());
  Enter("3");
  // The boxes come one straight after another: each is told from the one before by its
  // window, and kept as a picture before it is answered.
  WindowId previous = 0;
  std::vector<QImage> pictures;
  for (const char* key : {"Return", "Return", "Return", "n"}) {
    WindowId box = 0;
    ASSERT_TRUE(WaitUntil([&] {
      for (const WindowId w : x_.Windows(Pid(), "^OrvikLink$")) {
        if (w != previous) box = w;
      }
      return box != 0;
    })) << "no box after "
        << pictures.size();
    WaitUntil([&] { return false; }, 300ms);  // drawn
    pictures.push_back(x_.Picture(box));
    ASSERT_TRUE(x_.Keys({key}));
    previous = box;
  }
  ASSERT_TRUE(x_.WaitNoWindow(Pid(), "^OrvikLink$")) << "the question stays";
  const auto replies = [&] {
    return QueryOne(home_ / "JetMDB" / "shop.db", "SELECT A1 FROM DEMOLOG WHERE A0 = 'BOXES'");
  };
  ASSERT_TRUE(WaitUntil([&] { return replies() == "INFO:,ERROR:,OKONLY:,YESNO:N"; })) << replies();
  ASSERT_TRUE(WaitUntil([&] { return MenuItems().size() == kMenuItems; })) << "no menu";
  // The icons tell the types apart: the error and the OK-only box carry the exclamation's
  // yellow, the information and the question none.
  const auto yellow = [](const QImage& picture) {
    for (int y = 0; y < picture.height(); ++y) {
      for (int x = 0; x < picture.width(); ++x) {
        const QRgb p = picture.pixel(x, y);
        if (qRed(p) > 200 && qGreen(p) > 150 && qBlue(p) < 80) return true;
      }
    }
    return false;
  };
  ASSERT_EQ(pictures.size(), 4u);
  EXPECT_FALSE(yellow(pictures[0])) << "information";
  EXPECT_TRUE(yellow(pictures[1])) << "error";
  EXPECT_TRUE(yellow(pictures[2])) << "OK only";
  EXPECT_FALSE(yellow(pictures[3])) << "question";
  const fs::path shots = fs::path(ORVIK_SCREENSHOT_DIR);
  fs::create_directories(shots);
  pictures[1].save(QString::fromStdString((shots / "client_error_box.png").string()));
  pictures[3].save(QString::fromStdString((shots / "client_question_box.png").string()));
  // The menu takes a pick again.
  Enter("9");
  ASSERT_NO_FATAL_FAILURE(AnswerBox("y"));
  EXPECT_TRUE(WaitChoices("3,9")) << Choices();
}

// Item 7: a nomination screen (one entry, no action code) takes a customer number as it is
// typed; a number that is not there is refused in a box, and the entry takes another. The
// program opens the customer as an update of the same form, whose fields then go by action
// code and value and are stored.
TEST_F(ClientWindowTest, ANominatedCustomerIsUpdatedAndStored) {
  ASSERT_NO_FATAL_FAILURE(StartClient());
  ASSERT_NO_FATAL_FAILURE(StartDemo());
  Enter("7");
  std::string log;
  ASSERT_TRUE(WaitUntil([&] {
    return (log = MonitorLog()).find("<NOMINATE WIDTH=8") != std::string::npos;
  })) << log;
  const fs::path shop = home_ / "JetMDB" / "shop.db";
  const auto nominated = [&] {
    return QueryOne(shop, "SELECT A1 FROM DEMOLOG WHERE A0 = 'NOMINATED'");
  };
  // The entry has the cursor: what is typed there and Enter go to the program.
  Enter("C999");
  ASSERT_NO_FATAL_FAILURE(AnswerBox("Return"));  // "No customer C999."
  // The refused number is still in the entry, which has the cursor again: Ctrl+A selects it
  // and what is typed replaces it.
  ASSERT_TRUE(x_.Keys({"ctrl+a"}));
  Enter("C200");
  ASSERT_TRUE(WaitUntil([&] { return nominated() == "C200"; })) << nominated() << MonitorLog();
  // The nominated value went alone, without an action code before it.
  ASSERT_TRUE(WaitUntil([&] {
    return (log = MonitorLog()).find("<FORM TYPE=UPDATE>") != std::string::npos;
  })) << log;
  EXPECT_NE(log.find("TX :C999\n"), std::string::npos) << log;
  EXPECT_NE(log.find("TX :C200\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("TX :0\n"), std::string::npos) << log;

  // The credit limit the update added, by its action code.
  ASSERT_TRUE(x_.Keys({"alt+3"}));
  Enter("2500");
  const auto credit = [&] {
    return QueryOne(shop, "SELECT A1 || '|' || A2 FROM DEMOCUST WHERE A0 = 'C200'");
  };
  ASSERT_TRUE(WaitUntil([&] { return credit() == "Bolt & Co|2500"; })) << credit();
  ASSERT_TRUE(WaitUntil([&] { return (log = MonitorLog()).find("TX :2500") != std::string::npos; }))
      << log;
  EXPECT_NE(log.find("TX :3\n"), std::string::npos) << log;
  EXPECT_TRUE(x_.Windows(Pid(), "^OrvikLink$").empty()) << "a message box";
  SavePicture("client_update.png");
}

// Item 8: a second screen form over the menu, in a window of its own; a note typed there is
// stored; its Quit closes it, and the menu under it takes picks again.
TEST_F(ClientWindowTest, ASubformOpensOverTheMenuAndClosesBackToIt) {
  ASSERT_NO_FATAL_FAILURE(StartClient());
  ASSERT_NO_FATAL_FAILURE(StartDemo());
  Enter("8");
  const WindowId sub = x_.WaitWindow(Pid(), "^SubForm$");
  ASSERT_NE(sub, 0u) << "no sub-form";
  EXPECT_TRUE(FirstFormShown()) << "the first form";
  x_.Resize(sub, 1280, 1000);
  WaitUntil([] { return false; }, 1s);  // drawn
  ASSERT_TRUE(x_.Keys({"alt+1"}));
  ASSERT_TRUE(x_.Type("Call on Mondays"));
  ASSERT_TRUE(x_.Keys({"Return"}));
  const auto notes = [&] {
    return QueryOne(home_ / "JetMDB" / "shop.db", "SELECT A1 FROM DEMONOTE WHERE A0 = 'C100'");
  };
  ASSERT_TRUE(WaitUntil([&] { return notes() == "Call on Mondays"; })) << notes();
  SavePicture("client_subform.png", sub);
  ASSERT_TRUE(x_.Keys({"alt+q"}));
  ASSERT_TRUE(x_.WaitNoWindow(Pid(), "^SubForm$")) << "the sub-form stays";
  EXPECT_TRUE(FirstFormShown()) << "the first form";
  // The menu is drawn again once the form under the sub-form has the screen back.
  EXPECT_TRUE(WaitUntil([&] { return MenuItems().size() == kMenuItems; })) << "no menu";
  Enter("9");
  ASSERT_NO_FATAL_FAILURE(AnswerBox("y"));
  EXPECT_TRUE(WaitChoices("8,9")) << Choices();
  const std::string log = MonitorLog();
  EXPECT_NE(log.find("****** Create SUBFORM ******"), std::string::npos) << log;
  EXPECT_NE(log.find("****** EXIT from SUBFORM ******"), std::string::npos) << log;
}

TEST_F(ClientWindowTest, TheMenusLogOffClosesTheClientAndEndsTheSession) {
  ASSERT_NO_FATAL_FAILURE(StartClient());
  ASSERT_NO_FATAL_FAILURE(StartDemo());
  // Esc presses the menu's LogOff; the program confirms, the client says farewell and ends.
  ASSERT_TRUE(x_.Keys({"Escape"}));
  ASSERT_NO_FATAL_FAILURE(AnswerBox("Return"));  // "You have neatly and cleanly logged off"
  ASSERT_TRUE(client_.waitForFinished(20000)) << "the program goes on after LogOff";
  EXPECT_EQ(client_.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(client_.exitCode(), 0);
  EXPECT_EQ(Choices(), "LO");
  EXPECT_TRUE(WaitUntil([&] { return Registry().empty(); })) << "the session stays";
  EXPECT_EQ(Locks(), "");
}

}  // namespace
}  // namespace orvik::client::xtest

// Each test process has an X server of its own, so tests run in parallel never share a
// screen, a keyboard focus or a clipboard, and a window manager on it, which gives the
// keyboard to the windows as a user's desktop does. Listing the tests needs neither.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  orvik::client::xtest::XServer server;
  std::string error;
  if (!server.Start(1280, 1024, &error)) {
    std::fprintf(stderr, "client_window_tests: %s\n", error.c_str());
    return 1;
  }
  orvik::client::xtest::WindowManager manager;
  if (!manager.Start(server.Display(), &error)) {
    std::fprintf(stderr, "client_window_tests: %s\n", error.c_str());
    return 1;
  }
  orvik::client::xtest::g_display = server.Display();
  qputenv("DISPLAY", server.Display().c_str());
  qputenv("QT_QPA_PLATFORM", "xcb");
  int status = 0;
  {
    QGuiApplication app(argc, argv);
    status = RUN_ALL_TESTS();
  }
  manager.Stop();
  server.Stop();
  return status;
}
