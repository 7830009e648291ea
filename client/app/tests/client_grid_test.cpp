// Grids in the real client on a fresh embedded home, offscreen, driven by key and mouse events
// as a user gives them: the engine's own query form pages through its rows in a read-only
// grid, the demo program's GUIPLUS grid records an edited quantity, and the demo's INTEG grid
// completes a row update without a stall.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <chrono>
#include <filesystem>

#include "client_program.h"
#include "event_wait.h"
#include "grid_click.h"
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
                 {"shop", "LINES", "JavaScript", "lines.js LINES"}};
    const fs::path demo(ORVIK_DEMO_DIR);
    MakeHome("orvik-client-grid-", o, {demo / "demo.js", demo / "lines.js"});
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
  Type(form, "LOGTO shop\r");
  Type(form, "DEMO\r");
  ASSERT_TRUE(WaitFor([&] { return form->Core().Model().states.msFormState == "MENU"; }));
  Type(form->AltSelect(), "2");
  form->AltOk()->click();
  ASSERT_TRUE(WaitFor([&] {
    return form->Core().Model().layout.msGridType == "GUIPLUS" && GridShows(form, 1, 3, "4");
  })) << Screen(program)
      << State(form);

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
  Type(form->AltSelect(), "2");
  form->AltOk()->click();
  ASSERT_TRUE(WaitFor([&] {
    return form->Core().Model().layout.msGridType == "GUIPLUS" && GridShows(form, 1, 3, "12");
  })) << Screen(program)
      << State(form);
  EXPECT_TRUE(boxes.texts.empty());
}

TEST_F(ClientGridTest, AnIntegRowUpdateCompletesWithoutAStall) {
  ClientProgram program({home_.string(), {"MONITOR=True"}});
  ScreenFormWidget* form = LogIn(program);
  Type(form, "LOGTO shop\r");
  Type(form, "LINES\r");
  ASSERT_TRUE(WaitFor([&] {
    return form->Core().Model().layout.msGridType == "INTEG" && GridShows(form, 2, 3, "7");
  })) << Screen(program)
      << State(form) << program.Shell().Monitor().Text();
  BoxAnswerer boxes;
  const auto started = SteadyClock::now();
  // Quantity of line 2: the row is announced and its first cells sent, then the cell opens.
  ClickCell(form, 2, 3);
  QLineEdit* entry = GridEntry(form);
  ASSERT_NE(entry, nullptr);
  ASSERT_TRUE(WaitFor([&] {
    return form->Core().Model().states.msState == "GRID_UPDATE_ROW" && entry->isVisible() &&
           entry->text() == "7" && !program.Shell().AwaitingReply();
  })) << Screen(program)
      << State(form);
  entry->selectAll();
  Type(entry, "9\r");
  ASSERT_TRUE(WaitFor([&] {
    return form->Core().Model().states.msState == "FORM_ACTIVE" && GridShows(form, 2, 3, "9");
  })) << form->Core().Model().states.msState;
  // Far inside the row dialog's time-out, and no time-out box.
  EXPECT_LT(SteadyClock::now() - started, 4s);
  EXPECT_TRUE(boxes.texts.empty()) << boxes.texts.front();
  EXPECT_FALSE(program.Shell().AwaitingReply());
  EXPECT_TRUE(form->GridWidgets().RowButton(0)->isVisible());
}

}  // namespace
}  // namespace orvik::client

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
