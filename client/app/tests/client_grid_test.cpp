// Grids in the real client on a fresh embedded home, offscreen, driven by key and mouse events
// as a user gives them: the engine's own query form pages through its rows in a read-only
// grid, the demo program's GUIPLUS grid records an edited quantity, the demo's INTEG grid
// completes a row update without a stall and says so when a line is not stored, and the demo's
// products grid inserts, updates and deletes the items of its file.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <chrono>
#include <filesystem>

#include "client_program.h"
#include "event_wait.h"
#include "grid_click.h"
#include "home_query.h"
#include "program_test_support.h"
#include "setup.h"

namespace orvik::client {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class ClientGridTest : public ProgramHomeTest {
 protected:
  void SetUp() override {
    SetupOptions o;
    o.accounts = {"shop"};
    o.catalog = {{"shop", "DEMO", "JavaScript", "demo.js DEMO"},
                 {"shop", "LINES", "JavaScript", "lines.js LINES"},
                 {"shop", "PRODUCTS", "JavaScript", "products.js PRODUCTS"}};
    const fs::path demo(ORVIK_DEMO_DIR);
    MakeHome("orvik-client-grid-", o, {demo / "demo.js", demo / "lines.js", demo / "products.js"});
  }

  // Logs in as the demo user; the form to type into.
  ScreenFormWidget* LogIn(ClientProgram& program) {
    EXPECT_TRUE(program.Start());
    EXPECT_TRUE(WaitFor([&] { return Screen(program).find("username:") != std::string::npos; }));
    ScreenFormWidget* form = program.TopForm();
    QApplication::setActiveWindow(form);
    Type(form, "demo\r");
    EXPECT_TRUE(WaitFor([&] { return Screen(program).find("password:") != std::string::npos; }));
    Type(form, "demo\r");
    EXPECT_TRUE(WaitFor(
        [&] { return Screen(program).find("Welcome to OrvikEngine") != std::string::npos; }));
    return form;
  }
  // Moves to the demo's account, starts the demo and waits for its menu.
  static void StartDemo(ScreenFormWidget* form) {
    Type(form, "LOGTO shop\r");
    Type(form, "DEMO\r");
    ASSERT_TRUE(WaitFor([&] { return form->Core().Model().states.msFormState == "MENU"; }));
  }
  // Starts the lines program (its INTEG grid) and waits for its second line.
  void StartLines(ClientProgram& program, ScreenFormWidget* form) {
    Type(form, "LOGTO shop\r");
    Type(form, "LINES\r");
    ASSERT_TRUE(WaitFor([&] {
      return form->Core().Model().layout.msGridType == "INTEG" && GridShows(form, 2, 3, "7");
    })) << Screen(program)
        << State(form) << program.Shell().Monitor().Text();
  }
  // The quantity of line 2 clicked: the row is announced and its first cells sent, then the
  // cell opens with its value. Null when it does not.
  static QLineEdit* OpenSecondQuantity(ClientProgram& program, ScreenFormWidget* form) {
    ClickCell(form, 2, 3);
    QLineEdit* entry = GridEntry(form);
    const auto open = [&] {
      return form->Core().Model().states.msState == "GRID_UPDATE_ROW" && entry->isVisible() &&
             entry->text() == "7" && !program.Shell().AwaitingReply();
    };
    return entry != nullptr && WaitFor(open) ? entry : nullptr;
  }
  // Picks `choice` on the menu, then waits for a grid of `type` with `text` in a cell.
  bool PickGrid(ScreenFormWidget* form, const QString& choice, const std::string& type, int row,
                int col, const std::string& text) {
    Type(form->AltSelect(), choice);
    form->AltOk()->click();
    return WaitFor([&] {
      return form->Core().Model().layout.msGridType == type && GridShows(form, row, col, text);
    });
  }
  static const GridModel& Grid(ScreenFormWidget* form) { return form->Core().Model().grid; }
  // What the form shows, for a failure's message.
  static std::string State(ScreenFormWidget* form) {
    const ScreenModel& m = form->Core().Model();
    std::string text = m.states.msFormState + " " + m.states.msState + " grid " +
                       m.layout.msGridType + (m.grid.visible ? " shown" : " hidden");
    for (int r = 0; r < std::min(m.grid.Rows(), 4); ++r) {
      text += "\n";
      for (int c = 0; c < m.grid.Cols(); ++c) text += m.grid.TextMatrix(r, c) + "|";
    }
    return text;
  }
  static bool GridShows(ScreenFormWidget* form, int row, int col, const std::string& text) {
    const GridModel& grid = Grid(form);
    return grid.visible && row < grid.Rows() && col < grid.Cols() &&
           grid.TextMatrix(row, col) == text;
  }
  static void ClickCell(ScreenFormWidget* form, int row, int col) {
    ClickGridCell(form->GridWidgets().Table(), row, col);
  }
  static QLineEdit* GridEntry(ScreenFormWidget* form) {
    return qobject_cast<QLineEdit*>(
        form->EntryWidgets().Entry(std::stoi(form->Core().Model().grid.tag)));
  }
  static QWidget* Focused(ScreenFormWidget* form) {
    QWidget* focus = QApplication::focusWidget();
    return focus && form->isAncestorOf(focus) ? focus : form;
  }
};

TEST_F(ClientGridTest, TheQueryFormShowsItsRowsInAReadOnlyGridAndPagesWithEnter) {
  ClientProgram program({home_.string(), {}});
  ScreenFormWidget* form = LogIn(program);
  Type(form, "LOGTO shop\r");  // its md holds the demo's verbs
  Type(form, "SELECT * FROM md\r");
  ASSERT_TRUE(WaitFor([&] {
    return form->Core().Model().layout.msGridType == "READONLY" && GridShows(form, 0, 1, "Attr") &&
           !Grid(form).TextMatrix(1, 2).empty();
  })) << Screen(program)
      << State(form);
  const ControlRecord& page = form->Core().Controls().formHeader[1];
  EXPECT_EQ(page.caption, "Page1");
  EXPECT_TRUE(form->GridWidgets().Table()->isVisible());
  EXPECT_EQ(Grid(form).TextMatrix(0, 2), "Data");
  const std::string first = Grid(form).TextMatrix(1, 2);
  // A read-only grid takes no cell entry: a click sends nothing and changes nothing.
  ClickCell(form, 1, 2);
  EXPECT_EQ(form->Core().Model().states.msState, "FORM_ACTIVE");
  const fs::path shots = fs::path(ORVIK_SCREENSHOT_DIR);
  fs::create_directories(shots);
  EXPECT_TRUE(
      form->grab().save(QString::fromStdString((shots / "client_query_grid.png").string())));

  Type(Focused(form), "\r");
  ASSERT_TRUE(WaitFor([&] { return page.caption == "Page2"; })) << Screen(program) << State(form);
  ASSERT_TRUE(WaitFor([&] {
    return !Grid(form).TextMatrix(1, 2).empty() && Grid(form).TextMatrix(1, 2) != first;
  }));
  EXPECT_TRUE(GridShows(form, 0, 1, "Attr"));
}

TEST_F(ClientGridTest, TheDemosGuiPlusGridRecordsAQuantityEditedByMouseAndKeys) {
  ClientProgram program({home_.string(), {}});
  ScreenFormWidget* form = LogIn(program);
  ASSERT_NO_FATAL_FAILURE(StartDemo(form));
  ASSERT_TRUE(PickGrid(form, "2", "GUIPLUS", 1, 3, "4")) << Screen(program) << State(form);

  ClickCell(form, 1, 3);
  QLineEdit* entry = GridEntry(form);
  ASSERT_NE(entry, nullptr);
  ASSERT_TRUE(WaitFor([&] { return entry->isVisible() && entry->text() == "4"; }));
  entry->selectAll();
  Type(entry, "12\r");
  // The program stores it and shows the cell as stored.
  ASSERT_TRUE(WaitFor([&] { return GridShows(form, 1, 3, "12"); }))
      << Screen(program) << State(form);
  const fs::path shots = fs::path(ORVIK_SCREENSHOT_DIR);
  fs::create_directories(shots);
  EXPECT_TRUE(
      form->grab().save(QString::fromStdString((shots / "client_guiplus_grid.png").string())));

  // Out to the menu and in again: the grid is filled from what the program recorded.
  BoxAnswerer boxes;
  form->EntryWidgets().FnQuit()->click();
  ASSERT_TRUE(WaitFor([&] { return form->Core().Model().states.msFormState == "MENU"; }))
      << Screen(program);
  ASSERT_TRUE(PickGrid(form, "2", "GUIPLUS", 1, 3, "12")) << Screen(program) << State(form);
  EXPECT_TRUE(boxes.texts.empty());
}

TEST_F(ClientGridTest, AnIntegRowUpdateCompletesWithoutAStall) {
  ClientProgram program({home_.string(), {"MONITOR=True"}});
  ScreenFormWidget* form = LogIn(program);
  ASSERT_NO_FATAL_FAILURE(StartLines(program, form));
  BoxAnswerer boxes;
  QLineEdit* entry = OpenSecondQuantity(program, form);
  ASSERT_NE(entry, nullptr) << Screen(program) << State(form);
  entry->selectAll();
  Type(entry, "9\r");
  ASSERT_TRUE(WaitFor([&] {
    return form->Core().Model().states.msState == "FORM_ACTIVE" && GridShows(form, 2, 3, "9");
  })) << form->Core().Model().states.msState;
  // A stalled row dialog ends in its time-out box, so no box means no stall.
  EXPECT_TRUE(boxes.texts.empty()) << boxes.texts.front();
  EXPECT_FALSE(program.Shell().AwaitingReply());
  EXPECT_TRUE(form->GridWidgets().RowButton(0)->isVisible());
}

// A line the engine does not store (another session holds the item) is not shown as taken:
// the lines program says why in an error box, and the grid and the store keep what was there.
TEST_F(ClientGridTest, TheLinesProgramSaysSoWhenALineIsNotStored) {
  ClientProgram program({home_.string(), {}});
  ScreenFormWidget* form = LogIn(program);
  ASSERT_NO_FATAL_FAILURE(StartLines(program, form));
  std::string error;
  const std::shared_ptr<Port> holder = HoldItem("DEMOLINES", "L1", &error);
  ASSERT_NE(holder, nullptr) << error;

  BoxAnswerer boxes;
  QLineEdit* entry = OpenSecondQuantity(program, form);
  ASSERT_NE(entry, nullptr) << State(form);
  entry->selectAll();
  Type(entry, "9\r");
  ASSERT_TRUE(WaitFor([&] { return !boxes.texts.empty(); })) << "no box";
  EXPECT_EQ(boxes.texts[0], "The line was not stored: [920] Another user has this item locked\n");
  ASSERT_TRUE(WaitFor([&] {
    return form->Core().Model().states.msState == "FORM_ACTIVE" && GridShows(form, 2, 3, "7") &&
           !program.Shell().AwaitingReply();
  })) << State(form);
  EXPECT_EQ(QueryOne(home_ / "JetMDB" / "shop.db", "SELECT A3 FROM DEMOLINES WHERE A0 = 'L1'"),
            std::string("5\xC3\xBD") + "7");
  program.Shell().Closedown();
}

// A product of the demo's file as stored: description and price, "" when there is none.
std::string Product(const fs::path& home, const std::string& id) {
  return QueryOne(home / "JetMDB" / "shop.db",
                  "SELECT A1 || '/' || A2 FROM DEMOPROD WHERE A0 = '" + id + "'");
}

// The Delete key pressed on `widget`.
void PressDelete(QWidget* widget) {
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &press);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_Delete, Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &release);
}

TEST_F(ClientGridTest, TheProductsGridInsertsUpdatesAndDeletesTheFilesItems) {
  ClientProgram program({home_.string(), {"MONITOR=True"}});
  ScreenFormWidget* form = LogIn(program);
  ASSERT_NO_FATAL_FAILURE(StartDemo(form));
  ASSERT_TRUE(PickGrid(form, "6", "INTEG", 3, 1, "P103")) << Screen(program) << State(form);
  EXPECT_TRUE(GridShows(form, 1, 2, "Bolt"));
  EXPECT_TRUE(GridShows(form, 2, 3, "0.10"));
  BoxAnswerer boxes;
  QLineEdit* entry = GridEntry(form);
  ASSERT_NE(entry, nullptr);
  const auto entryOn = [&](int row, int col, const std::string& text) {
    const GridModel& grid = Grid(form);
    return form->Core().Model().states.msState == "GRID_UPDATE_ROW" && grid.Row() == row &&
           grid.Col() == col && entry->isVisible() && entry->text().toStdString() == text &&
           !program.Shell().AwaitingReply();
  };
  const auto rowDone = [&] {
    return form->Core().Model().states.msState == "FORM_ACTIVE" && !program.Shell().AwaitingReply();
  };

  // The price of the second product: the id and the description go first, unchanged.
  ClickCell(form, 2, 3);
  ASSERT_TRUE(WaitFor([&] { return entryOn(2, 3, "0.10"); })) << State(form);
  entry->selectAll();
  Type(entry, "0.12\r");
  ASSERT_TRUE(WaitFor(rowDone)) << State(form);
  EXPECT_EQ(Product(home_, "P102"), "Nut/0.12");
  EXPECT_TRUE(GridShows(form, 2, 3, "0.12"));

  // A row inserted above the second: the program names it and leads through its cells; a
  // price that is no number is refused and asked again.
  ClickCell(form, 2, 0);
  ASSERT_TRUE(WaitFor([&] { return form->GridWidgets().RowButton(0)->isVisible(); }));
  form->GridWidgets().RowButton(0)->click();
  ASSERT_TRUE(WaitFor([&] { return entryOn(2, 2, ""); })) << State(form);
  EXPECT_TRUE(GridShows(form, 2, 1, "P104"));
  EXPECT_TRUE(GridShows(form, 3, 1, "P102")) << "the row below moves down";
  EXPECT_TRUE(GridShows(form, 3, 0, "3")) << "and is renumbered";
  // The grid's cell delimiter in a description would split it over two cells wherever it is
  // shown: refused, and the description asked again.
  Type(entry, "Spring\\Coil\r");
  ASSERT_TRUE(WaitFor([&] { return boxes.texts.size() == 1 && entryOn(2, 2, ""); })) << State(form);
  EXPECT_EQ(boxes.texts.back(),
            "A description may not hold angle brackets, backslashes or marks.\n");
  // Markup typed as a description comes back in the engine's echo before the program's answer:
  // the program's own refusal shows, not a box made of what was typed.
  Type(entry, "Spring<MSGBOX>\r");
  ASSERT_TRUE(WaitFor([&] { return boxes.texts.size() == 2 && entryOn(2, 2, ""); })) << State(form);
  EXPECT_EQ(boxes.texts.back(),
            "A description may not hold angle brackets, backslashes or marks.\n");
  Type(entry, "Spring\r");
  ASSERT_TRUE(WaitFor([&] { return entryOn(2, 3, ""); })) << State(form);
  Type(entry, "cheap\r");
  ASSERT_TRUE(WaitFor([&] { return boxes.texts.size() == 3 && entryOn(2, 3, ""); })) << State(form);
  EXPECT_EQ(boxes.texts.back(), "Price must be a number.\n");
  EXPECT_EQ(Product(home_, "P104"), "") << "nothing stored before the row is complete";
  Type(entry, "1.50\r");
  ASSERT_TRUE(WaitFor(rowDone)) << State(form);
  EXPECT_EQ(Product(home_, "P104"), "Spring/1.50");
  EXPECT_TRUE(GridShows(form, 2, 3, "1.50"));
  EXPECT_EQ(Grid(form).Rows(), 6) << "heading, four products and the empty row";

  // The first product deleted by its row's delete key: the item and the row go.
  ClickCell(form, 1, 0);
  ASSERT_TRUE(WaitFor([&] { return form->GridWidgets().RowButton(1)->isVisible(); }));
  PressDelete(Focused(form));
  ASSERT_TRUE(WaitFor([&] { return GridShows(form, 1, 1, "P104") && rowDone(); })) << State(form);
  EXPECT_EQ(Product(home_, "P101"), "");
  EXPECT_EQ(Product(home_, "P102"), "Nut/0.12");
  EXPECT_TRUE(GridShows(form, 1, 0, "1"));
  EXPECT_EQ(Grid(form).Rows(), 5);
  // The empty row under the products holds none to delete: an error box, and the row stays.
  ClickCell(form, 4, 0);
  ASSERT_TRUE(WaitFor([&] { return form->GridWidgets().RowButton(1)->isVisible(); }));
  form->GridWidgets().RowButton(1)->click();
  ASSERT_TRUE(WaitFor([&] { return boxes.texts.size() == 4 && rowDone(); })) << State(form);
  EXPECT_EQ(boxes.texts.back(), "There is no product on row 4.\n");
  EXPECT_EQ(Grid(form).Rows(), 5);

  EXPECT_TRUE(GridShows(form, 1, 2, "Spring"));

  // Back to the menu by the quit button, and in again: the rows are the file's items in key
  // order.
  form->EntryWidgets().FnQuit()->click();
  ASSERT_TRUE(WaitFor([&] { return form->Core().Model().states.msFormState == "MENU"; }))
      << State(form) << program.Shell().Monitor().Text();
  ASSERT_TRUE(PickGrid(form, "6", "INTEG", 3, 1, "P104")) << Screen(program) << State(form);
  EXPECT_TRUE(GridShows(form, 1, 1, "P102"));
  EXPECT_TRUE(GridShows(form, 3, 2, "Spring"));
}

}  // namespace
}  // namespace orvik::client

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
