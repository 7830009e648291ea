// The real client program in real windows, each screen of the demo application as users take
// it: the terminal and its verbs, the menu, the message boxes, the pick list, the forms, the
// grids and the sub-form, driven by keys and clicks (window_fixture.h). The pictures of the
// screens are kept in the build's screenshots folder, the README's pictures.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QWindow>
#include <cctype>

#include "window_fixture.h"
#include "x_server.h"
#include "x_window_manager.h"

namespace orvik::client::xtest {
namespace {

TEST_F(ClientWindowTest, LogsInRunsVerbsAndLogOffReleasesThePort) {
  ASSERT_NO_FATAL_FAILURE(StartClient());
  ASSERT_NO_FATAL_FAILURE(LogIn());
  const QImage welcome = StillScreen();
  Enter("WHO");
  Enter("LISTF");
  // The terminal drew the answers: the files and the prompt.
  ASSERT_TRUE(WaitUntil([&] {
    const QImage answers = StillScreen();
    return answers != welcome && InkBands(answers, DarkText).size() >= 6;
  }));
  SavePicture("client_terminal.png");

  // A lock a program of the session holds, freed when it ends.
  Enter("LOGTO shop");
  Enter("HOLD");
  ASSERT_TRUE(WaitUntil([&] { return Locks().rfind("demo*", 0) == 0; })) << Locks();
  Enter("");
  ASSERT_TRUE(WaitUntil([&] { return Locks().empty(); })) << Locks();

  // What was typed went key by key, the password's as stars; WHO showed the user instance.
  const std::string log = MonitorLog();
  EXPECT_NE(log.find("LISTF = List of Files/Tables"), std::string::npos) << log;
  EXPECT_NE(log.find("demo*"), std::string::npos) << log;
  const auto count = [&](const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = log.find(what); at != std::string::npos; at = log.find(what, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("TX :d\n"), 1u) << log;
  EXPECT_EQ(count("TX :*\n"), 4u) << log;

  // Log-off: the program ends, and the port with it.
  ASSERT_NO_FATAL_FAILURE(LogOffAtTheTerminal());
  EXPECT_EQ(Locks(), "") << "the session's lock stays";
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

  // "Leave the demo" by its code, answered No: the menu stays and takes picks.
  Enter("9");
  ASSERT_NO_FATAL_FAILURE(AnswerBox("n"));
  ASSERT_TRUE(WaitChoices("9")) << Choices();
  EXPECT_EQ(MenuItems().size(), kMenuItems);

  // Item 4 by mouse: a popup over the menu, closed by Enter: it has the keyboard.
  const std::vector<Band> items = MenuItems();
  ASSERT_EQ(items.size(), kMenuItems);
  ASSERT_TRUE(x_.Click(form_, items[kPopupItem].left + 10, items[kPopupItem].Middle()));
  const WindowId popup = x_.WaitWindow(Pid(), "^Orvik demo$");
  ASSERT_NE(popup, 0u) << "no popup";
  ASSERT_TRUE(WaitChoices("9,4")) << Choices();
  WaitUntil([] { return false; }, 300ms);  // drawn
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
  EXPECT_TRUE(OnlyTheForm());
  const std::string log = MonitorLog();
  EXPECT_NE(log.find("TX :N"), std::string::npos) << log;
  EXPECT_NE(log.find("TX :Y"), std::string::npos) << log;
  ASSERT_NO_FATAL_FAILURE(LogOffAtTheTerminal());
}

TEST_F(ClientWindowTest, ASearchPickReachesTheProgram) {
  ASSERT_NO_FATAL_FAILURE(StartClient());
  ASSERT_NO_FATAL_FAILURE(StartDemo());
  Enter("5");
  const WindowId list = x_.WaitWindow(Pid(), "^Customers$");
  ASSERT_NE(list, 0u) << "no pick list";
  // Its rows under the text box and the column headers: C100, then C200, double-clicked.
  WaitUntil([] { return false; }, 300ms);  // drawn
  SavePicture("client_pick_list.png", list);
  const std::vector<Band> rows = InkBands(x_.Picture(list), DarkText, 2, 100);
  ASSERT_GE(rows.size(), 4u);
  ASSERT_TRUE(x_.Click(list, rows.back().left + 10, rows.back().Middle(), 2));
  ASSERT_TRUE(x_.WaitNoWindow(Pid(), "^Customers$")) << "the pick list stays";
  // The program read the customer picked and sent his form, which takes a new name.
  std::vector<Shade> entries;
  ASSERT_TRUE(WaitEntries({Shade::kWhite, Shade::kWhite, Shade::kWhite}, &entries))
      << ::testing::PrintToString(entries);
  ASSERT_TRUE(x_.Keys({"alt+2"}));
  Enter("Bolt and Sons");
  ASSERT_TRUE(WaitUntil([&] {
    return Shop("SELECT A1 FROM DEMOCUST WHERE A0 = 'C200'") == "Bolt and Sons";
  })) << Shop("SELECT A1 FROM DEMOCUST WHERE A0 = 'C200'");

  // Esc presses the form's Quit: the menu again, which the demo is left from.
  ASSERT_TRUE(WaitEntries({Shade::kWhite, Shade::kGreen, Shade::kWhite}, &entries))
      << ::testing::PrintToString(entries);
  ASSERT_TRUE(x_.Keys({"Escape"}));
  ASSERT_TRUE(WaitUntil([&] { return MenuItems().size() == kMenuItems; }));
  Enter("9");
  ASSERT_NO_FATAL_FAILURE(AnswerBox("y"));
  EXPECT_TRUE(WaitChoices("5,9")) << Choices();
  const std::string log = MonitorLog();
  EXPECT_NE(log.find("TX :C200"), std::string::npos) << log;
}

// The customer form: an action code, then the field's new value and Enter; the program stores
// it in the customer's item and the entry shows it taken.
TEST_F(ClientWindowTest, AFormFilledAndSentIsStored) {
  ASSERT_NO_FATAL_FAILURE(StartClient());
  ASSERT_NO_FATAL_FAILURE(StartDemo());
  ASSERT_NO_FATAL_FAILURE(OpenCustomerForm());
  std::vector<Shade> entries;
  // Alt and the name's action code put the cursor in its entry, its text selected.
  ASSERT_TRUE(x_.Keys({"alt+2"}));
  Enter("Bolt Brothers");
  const auto name = [&] { return Shop("SELECT A1 FROM DEMOCUST WHERE A0 = 'C100'"); };
  ASSERT_TRUE(WaitUntil([&] { return name() == "Bolt Brothers"; })) << name();
  ASSERT_TRUE(WaitEntries({Shade::kWhite, Shade::kGreen, Shade::kWhite}, &entries))
      << ::testing::PrintToString(entries);
  EXPECT_TRUE(OnlyTheForm()) << "a message box";
  SavePicture("client_form.png");
  // The value went after its action code.
  ASSERT_TRUE(x_.Keys({"Escape"}));
  ASSERT_TRUE(WaitUntil([&] { return MenuItems().size() == kMenuItems; }));
  const std::string log = MonitorLog();
  EXPECT_LT(log.find("TX :2\n"), log.find("TX :Bolt Brothers\n")) << log;
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
  // The program took it without an error box; the cell went as code|column|row|value.
  EXPECT_TRUE(OnlyTheForm()) << "a message box";
  SavePicture("client_grid.png");
  const std::string log = MonitorLog();
  EXPECT_NE(log.find("TX :5|3|1|31"), std::string::npos) << log;
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
  ASSERT_TRUE(WaitUntil([&] { return CellOpen(Screen(), qty, qty.lines[1]); }));
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
  ASSERT_TRUE(WaitUntil([&] { return CellOpen(Screen(), price, price.lines[0]); }))
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
  // The grid's heading and the cells of its row numbers are bands of dark red under the form
  // header: the heading, a row a product and the empty row under them. The rows count once
  // two pictures in a row agree on them.
  const auto gridRows = [&] {
    std::vector<Band> red = InkBands(Screen(), GridHeadingInk);
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
    return !GridHeadingInk(Screen().pixel(band.left + 4, band.Middle()));
  };
  // A row's number clicked once, then `key`: the client sends the row command.
  const auto rowCommand = [&](int row, const std::string& key) {
    const Band& band = rows[static_cast<std::size_t>(row - 1)];
    EXPECT_TRUE(x_.Click(form_, band.left + 10, band.Middle()));
    return WaitUntil([&] { return onNumber(row); }, 5s) && x_.Keys({key});
  };

  // The first product's price, clicked once: the click announces the row, the client sends
  // the id and the description as they are, and the program puts the cursor on the price,
  // its old value selected, so that what is typed replaces it.
  const GridColumn price = WaitGridColumn();
  ASSERT_FALSE(price.lines.empty());
  ASSERT_TRUE(x_.Click(form_, price.right - 60, price.lines[0].Middle()));
  ASSERT_TRUE(WaitUntil([&] { return CellOpen(Screen(), price, price.lines[0]); }))
      << "the row dialog does not reach the price";
  ASSERT_TRUE(x_.Type("0.30"));
  ASSERT_TRUE(x_.Keys({"Return"}));
  ASSERT_TRUE(WaitUntil([&] { return product("P101") == "Bolt/0.30"; })) << product("P101");

  // Inserted above the second product: the program names it P104 and leads the cursor
  // through its description and price.
  ASSERT_TRUE(rowCommand(2, "Insert"));
  ASSERT_TRUE(rowsAre(5)) << "no new row: " << rows.size();
  ASSERT_TRUE(x_.Type("Spring"));
  ASSERT_TRUE(x_.Keys({"Return"}));
  // The program leads the cursor on to the new row's price.
  ASSERT_TRUE(WaitUntil([&] {
    const Band& number = rows[1];
    return CellOpen(Screen(), price, Band{number.top, number.bottom, number.left});
  })) << "the row dialog does not reach the new row's price";
  ASSERT_TRUE(x_.Type("1.50"));
  ASSERT_TRUE(x_.Keys({"Return"}));
  ASSERT_TRUE(WaitUntil([&] { return product("P104") == "Spring/1.50"; })) << product("P104");
  EXPECT_EQ(product("P102"), "Nut/0.10") << "the product below is left as it was";
  EXPECT_TRUE(OnlyTheForm()) << "a message box";
  SavePicture("client_integ_grid.png");

  // The new row deleted: the item goes, and the row with it.
  ASSERT_TRUE(rowCommand(2, "Delete"));
  ASSERT_TRUE(WaitUntil([&] { return product("P104").empty(); })) << product("P104");
  EXPECT_TRUE(rowsAre(4)) << "the row stays: " << rows.size();
  EXPECT_EQ(product("P101"), "Bolt/0.30");
  EXPECT_EQ(product("P102"), "Nut/0.10");
  EXPECT_TRUE(OnlyTheForm()) << "a message box";
  // The click announced the row before the program asked for its cells, which went as they
  // were; the row commands went as code|command|row.
  const std::string log = MonitorLog();
  EXPECT_LT(log.find("TX :6|M|1\n"), log.find("TX :P101\n")) << log;
  EXPECT_LT(log.find("TX :P101\n"), log.find("TX :Bolt\n")) << log;
  EXPECT_NE(log.find("TX :6|I|2\n"), std::string::npos) << log;
  EXPECT_NE(log.find("TX :6|D|2\n"), std::string::npos) << log;
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

// Item 7: a nomination screen (one entry, no action code) takes a customer number typed as
// soon as it shows: its entry has the keyboard although the window never lost it. A number
// that is not there is refused in a box, and the entry, clicked into, takes another. The
// program opens the customer as an update of the same form, whose fields then go by action
// code and value and are stored; and the next customer nominated starts with nothing marked
// taken but his number.
TEST_F(ClientWindowTest, ANominatedCustomerIsUpdatedAndStored) {
  ASSERT_NO_FATAL_FAILURE(StartClient());
  ASSERT_NO_FATAL_FAILURE(StartDemo());
  Enter("7");
  std::vector<Shade> entries;
  ASSERT_TRUE(WaitEntries({Shade::kWhite}, &entries)) << ::testing::PrintToString(entries);
  const auto nominated = [&] { return Shop("SELECT A1 FROM DEMOLOG WHERE A0 = 'NOMINATED'"); };
  Enter("C999");
  ASSERT_NO_FATAL_FAILURE(AnswerBox("Return"));  // "No customer C999."
  // The refused number is still in the entry: clicked into, Ctrl+A selects it and what is
  // typed replaces it.
  const QImage refused = Screen();
  const int left = refused.width() * 20 / 80;
  const std::vector<Band> boxes = InkBands(
      refused, [](QRgb p) { return ShadeOf(p) != Shade::kNone; }, left + 2, left + 3);
  ASSERT_FALSE(boxes.empty());
  ASSERT_TRUE(x_.Click(form_, left + 40, boxes.front().Middle()));
  ASSERT_TRUE(x_.Keys({"ctrl+a"}));
  Enter("C200");
  ASSERT_TRUE(WaitUntil([&] { return nominated() == "C200"; })) << nominated();
  // The update: the number taken, the name and the credit limit added, neither taken yet.
  ASSERT_TRUE(WaitEntries({Shade::kGreen, Shade::kWhite, Shade::kWhite}, &entries))
      << ::testing::PrintToString(entries);

  // The credit limit the update added, by its action code.
  ASSERT_TRUE(x_.Keys({"alt+3"}));
  Enter("2500");
  const auto credit = [&] { return Shop("SELECT A1 || '|' || A2 FROM DEMOCUST WHERE A0 = 'C200'"); };
  ASSERT_TRUE(WaitUntil([&] { return credit() == "Bolt & Co|2500"; })) << credit();
  ASSERT_TRUE(WaitEntries({Shade::kGreen, Shade::kWhite, Shade::kGreen}, &entries))
      << ::testing::PrintToString(entries);
  EXPECT_TRUE(OnlyTheForm()) << "a message box";
  SavePicture("client_update.png");

  // Esc presses Quit; the next customer, typed at once on a new nomination screen.
  ASSERT_TRUE(x_.Keys({"Escape"}));
  ASSERT_TRUE(WaitUntil([&] { return MenuItems().size() == kMenuItems; })) << "no menu";
  Enter("7");
  ASSERT_TRUE(WaitEntries({Shade::kWhite}, &entries)) << ::testing::PrintToString(entries);
  Enter("C100");
  ASSERT_TRUE(WaitUntil([&] { return nominated() == "C200,C100"; })) << nominated();
  ASSERT_TRUE(WaitEntries({Shade::kGreen, Shade::kWhite, Shade::kWhite}, &entries))
      << ::testing::PrintToString(entries);
  // The nominated values went alone, without an action code before them; the credit limit
  // after its code.
  const std::string log = MonitorLog();
  EXPECT_NE(log.find("TX :C999\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("TX :0\n"), std::string::npos) << log;
  EXPECT_LT(log.find("TX :3\n"), log.find("TX :2500\n")) << log;
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
