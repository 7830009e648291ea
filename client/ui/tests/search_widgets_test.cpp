// The search's widgets offscreen: the pick list window (filled from a SEARCH transmission,
// sorted by a header click, picked by click, double click and Enter, closed without a
// pick), the search-choice and connection dialogs with their settings, and the monitor's
// connect and print.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QMouseEvent>
#include <filesystem>
#include <fstream>

#include "connection_dialog.h"
#include "fake_print_backend.h"
#include "modal_helpers.h"
#include "monitor_window.h"
#include "pick_list_window.h"
#include "search_choice_dialog.h"
#include "shell_fixture.h"
#include "twips.h"

namespace orvik::client {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

void Mouse(QWidget* target, QEvent::Type type, QPoint at) {
  QMouseEvent event(type, at, target->mapToGlobal(at), Qt::LeftButton,
                    type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(target, &event);
}
QPoint RowCentre(QTreeWidget* list, int row) {
  return list->visualItemRect(list->topLevelItem(row)).center();
}
void ClickRow(QTreeWidget* list, int row) {
  Mouse(list->viewport(), QEvent::MouseButtonPress, RowCentre(list, row));
  Mouse(list->viewport(), QEvent::MouseButtonRelease, RowCentre(list, row));
}
void DoubleClickRow(QTreeWidget* list, int row) {
  ClickRow(list, row);
  Mouse(list->viewport(), QEvent::MouseButtonDblClick, RowCentre(list, row));
  Mouse(list->viewport(), QEvent::MouseButtonRelease, RowCentre(list, row));
}
void ClickHeader(QTreeWidget* list, int column) {
  QHeaderView* header = list->header();
  const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                  header->height() / 2);
  Mouse(header->viewport(), QEvent::MouseButtonPress, at);
  Mouse(header->viewport(), QEvent::MouseButtonRelease, at);
}
void Enter(QWidget* target) {
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
  QCoreApplication::sendEvent(target, &press);
}
std::vector<std::string> Column(QTreeWidget* list, int column) {
  std::vector<std::string> texts;
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    texts.push_back(list->topLevelItem(i)->text(column).toStdString());
  }
  return texts;
}

constexpr const char* kSearch =
    "<FORM TYPE=SEARCH>Customers<COLUMN WIDTH=8>No<COLUMN WIDTH=30 ALIGN=RIGHT>Name"
    "<DATA> C300 \\Zeta<DATA>C100\\Acme Ltd<DATA>C200\\Bolt & Co</TX>";

class PickListTest : public ShellFixture {
 protected:
  void SetUp() override {
    shell.Context().pickList = &window;
    StartToFirstForm();
    link.sent.clear();
  }
  PickListWidget window;
};

TEST_F(PickListTest, ASearchFillsTheListAndADoubleClickSendsThePick) {
  std::vector<std::string> names, sorted;
  QString caption;
  QRect geometry;
  int nameAlignment = 0;
  WhenModal<PickListWidget>([&](PickListWidget* w) {
    caption = w->windowTitle();
    geometry = w->geometry();
    names = Column(w->List(), 1);
    nameAlignment = w->List()->topLevelItem(0)->textAlignment(1);
    ClickHeader(w->List(), 1);  // by name
    sorted = Column(w->List(), 0);
    const fs::path shots(ORVIK_SCREENSHOT_DIR);
    fs::create_directories(shots);
    w->grab().save(QString::fromStdString((shots / "client_pick_list.png").string()));
    DoubleClickRow(w->List(), 0);  // Acme Ltd, first by name
  });
  Engine(kSearch);
  EXPECT_EQ(caption, "Customers");
  EXPECT_THAT(names, ElementsAre("Zeta", "Acme Ltd", "Bolt & Co"));
  EXPECT_EQ(nameAlignment, int(Qt::AlignRight | Qt::AlignVCenter));
  EXPECT_THAT(sorted, ElementsAre("C100", "C200", " C300 "));
  // At the right edge of the screen, 65% of it high.
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_NEAR(geometry.height(), screen.height() * 0.65, 2);
  EXPECT_LE(geometry.right(), screen.right());
  EXPECT_GT(geometry.left(), screen.width() / 2);
  EXPECT_THAT(link.sent, ElementsAre("C100\r"));
  EXPECT_FALSE(window.isVisible()) << "hidden after the pick";
  // Picked at the terminal, into no entry: nothing is left to keep from sending twice.
  EXPECT_EQ(Top().Model().states.msStatePrevious, "");
  EXPECT_TRUE(fs::file_size(fs::path(ORVIK_SCREENSHOT_DIR) / "client_pick_list.png") > 1000);
}

TEST_F(PickListTest, ClosingEscapeAndEnterOnNothingSendTheQuitCommand) {
  WhenModal<PickListWidget>([](PickListWidget* w) { w->close(); });
  Engine(kSearch);
  WhenModal<PickListWidget>([](PickListWidget* w) {
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(w->Command(), &esc);
  });
  Engine(kSearch);
  WhenModal<PickListWidget>([](PickListWidget* w) {
    w->List()->clearSelection();
    Enter(w->Command());
  });
  Engine(kSearch);
  EXPECT_THAT(link.sent, ElementsAre("Q\r", "Q\r", "Q\r"));
}

TEST_F(PickListTest, TypedTextWinsEnterTakesTheRowAsItStandsAndActivationForgets) {
  // A click copies the trimmed row into the text box without closing; Enter sends it.
  std::string afterClick;
  WhenModal<PickListWidget>([&](PickListWidget* w) {
    ClickRow(w->List(), 0);
    afterClick = w->Command()->text().toStdString();
    EXPECT_TRUE(w->isVisible());
    Enter(w->List());
  });
  Engine(kSearch);
  EXPECT_EQ(afterClick, "C300");
  // Typed text wins over the selected row, trimmed.
  std::string startText = "x";
  WhenModal<PickListWidget>([&](PickListWidget* w) {
    startText = w->Command()->text().toStdString();
    w->List()->setCurrentItem(w->List()->topLevelItem(1));
    w->Command()->setText(" ABC ");
    Enter(w->List());
  });
  Engine(kSearch);
  EXPECT_EQ(startText, "") << "the text of the last search is gone";
  // With an empty text box the selected row as it stands.
  WhenModal<PickListWidget>([&](PickListWidget* w) {
    w->List()->setCurrentItem(w->List()->topLevelItem(0));
    Enter(w->Command());
  });
  Engine(kSearch);
  EXPECT_THAT(link.sent, ElementsAre("C300\r", "ABC\r", " C300 \r"));
}

// --- The search-choice dialog ---------------------------------------------------------------

TEST(SearchChoiceWidgetTest, ButtonsFollowTheSettingsAndTheTextStartsEmpty) {
  SearchChoiceWidget dialog;
  bool anyVisible = true, customVisible = false;
  QString custom;
  WhenModal<SearchChoiceWidget>([&](SearchChoiceWidget* d) {
    anyVisible = d->AnyTextButton()->isVisible();
    customVisible = d->CustomButton()->isVisible();
    custom = d->CustomButton()->text();
    d->SearchText()->setText("acme");
    d->CustomButton()->click();
  });
  SearchChoice choice = dialog.ShowModal({false, true, "By name"});
  EXPECT_EQ(choice.result, kSearchCustom);
  EXPECT_EQ(choice.text, "acme");
  EXPECT_FALSE(anyVisible);
  EXPECT_TRUE(customVisible);
  EXPECT_EQ(custom, "By name");

  QString startText = "x";
  WhenModal<SearchChoiceWidget>([&](SearchChoiceWidget* d) {
    startText = d->SearchText()->text();
    custom = d->CustomButton()->text();
    d->AnyTextButton()->click();
  });
  EXPECT_EQ(dialog.ShowModal({true, true, std::nullopt}).result, kSearchAnyText);
  EXPECT_EQ(startText, "");
  EXPECT_EQ(custom, "By name") << "an empty caption setting keeps the caption";

  WhenModal<SearchChoiceWidget>([](SearchChoiceWidget* d) { d->CancelButton()->click(); });
  EXPECT_EQ(dialog.ShowModal({}).result, kSearchCancel);
  WhenModal<SearchChoiceWidget>([](SearchChoiceWidget* d) { d->close(); });
  EXPECT_EQ(dialog.ShowModal({}).result, "");
}

// --- The connection dialog and the monitor ------------------------------------------------

class MonitorSearchTest : public ShellFixture {
 protected:
  void SetUp() override {
    shell.Start();
    shell.TimerTick();
  }
  TemporarySettingsStore store;
  QtEventPump realPump;
  FakePrintBackend printers{{"Office", "Labels"}, "Office"};
};

TEST_F(MonitorSearchTest, TheConnectionDialogKeepsItsValuesAndCancelSavesNothing) {
  {
    ConnectionWidget dialog(dialogs);
    EXPECT_EQ(dialog.Server()->text(), "");
    EXPECT_EQ(dialog.Port()->text(), "23");
    EXPECT_EQ(dialog.TimeOut()->text(), "4");
    WhenModal<ConnectionWidget>([](ConnectionWidget* d) { d->OkButton()->click(); });
    EXPECT_EQ(dialog.ShowModal().result, kConnectionOk);
    EXPECT_FALSE(fs::exists(store.File())) << "nothing changed, nothing saved";
    WhenModal<ConnectionWidget>([](ConnectionWidget* d) {
      d->Server()->setText("db.example");
      d->CancelButton()->click();
    });
    const ConnectionAnswer cancelled = dialog.ShowModal();
    EXPECT_EQ(cancelled.result, kConnectionCancel);
    EXPECT_EQ(LoadConnectionValues(), ConnectionValues{}) << "cancel left the store alone";
    WhenModal<ConnectionWidget>([](ConnectionWidget* d) {
      d->Port()->setText("2323");
      d->OkButton()->click();
    });
    const ConnectionAnswer ok = dialog.ShowModal();
    EXPECT_EQ(ok.values, (ConnectionValues{"db.example", "2323", "4"}));
  }
  EXPECT_EQ(LoadConnectionValues(), (ConnectionValues{"db.example", "2323", "4"}));
  ConnectionWidget again(dialogs);  // a new dialog reads the store
  EXPECT_EQ(again.Server()->text(), "db.example");
  EXPECT_EQ(again.Port()->text(), "2323");
  WhenModal<ConnectionWidget>([](ConnectionWidget* d) { d->close(); });
  EXPECT_EQ(again.ShowModal().result, "");
}

TEST_F(MonitorSearchTest, ConnectTakesTheValuesOnlyOnOk) {
  ASSERT_TRUE(SaveConnectionValues({"db.example", "2323", "9"}));
  MonitorWindow window{shell, realPump, printers};
  monitor.Clear();
  monitor.Monitor("kept", MonitorKind::kDirect);
  WhenModal<ConnectionWidget>([](ConnectionWidget* d) { d->CancelButton()->click(); });
  window.ConnectButton()->click();
  EXPECT_EQ(shell.remoteHost, "");
  EXPECT_EQ(shell.remotePort, 0);
  EXPECT_FLOAT_EQ(settings.timeout, 4);
  EXPECT_EQ(monitor.Text(), "kept\r\n\r\n") << "a cancelled connect empties nothing";

  WhenModal<ConnectionWidget>([](ConnectionWidget* d) { d->OkButton()->click(); });
  window.ConnectButton()->click();
  EXPECT_EQ(shell.remoteHost, "db.example");
  EXPECT_EQ(shell.remotePort, 2323);
  EXPECT_FLOAT_EQ(settings.timeout, 9);
  EXPECT_EQ(monitor.Text(), "");
  EXPECT_TRUE(window.SendButton()->isEnabled());
}

TEST_F(MonitorSearchTest, PrintingTheLogReachesThePrinterWithItsText) {
  MonitorWindow window{shell, realPump, printers};
  window.ShowWindow();
  monitor.Clear();
  monitor.Monitor("TX :LISTF", MonitorKind::kDirect);
  monitor.Monitor("RX:caf\xE9", MonitorKind::kDirect);
  window.PrintButton()->click();
  ASSERT_EQ(printers.text_jobs().size(), 1u);
  const FakePrintBackend::TextJob& job = printers.text_jobs()[0];
  EXPECT_EQ(job.printer, "Office");
  EXPECT_EQ(job.settings.fontName, "Courier New");
  EXPECT_EQ(job.settings.fontSize, 11);
  ASSERT_EQ(job.pages.size(), 1u);
  EXPECT_EQ(job.pages[0], "TX :LISTF\n\nRX:caf\xE9\n\n");
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, "Printing");

  // Part of the log selected: that part alone.
  QTextCursor cursor = window.Log()->textCursor();
  cursor.setPosition(0);
  cursor.setPosition(9, QTextCursor::KeepAnchor);
  window.Log()->setTextCursor(cursor);
  window.PrintButton()->click();
  ASSERT_EQ(printers.text_jobs().size(), 2u);
  EXPECT_EQ(printers.text_jobs()[1].pages[0], "TX :LISTF");
}

TEST_F(MonitorSearchTest, WithoutAPrinterNothingIsClaimedPrinted) {
  printers.SetPrinters({}, "");
  MonitorWindow window{shell, realPump, printers};
  window.ShowWindow();
  monitor.Monitor("line", MonitorKind::kDirect);
  window.PrintButton()->click();
  EXPECT_TRUE(printers.text_jobs().empty());
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text,
            "The log could not be printed: There is no printer to print on.");
  EXPECT_EQ(dialogs.boxes[0].icon, BoxIcon::kExclamation);

  printers.SetPrinters({"Office"}, "Office");
  printers.RefuseOpen("Office");  // gone offline
  window.PrintButton()->click();
  ASSERT_EQ(dialogs.boxes.size(), 2u);
  EXPECT_TRUE(dialogs.boxes[1].text.starts_with("The log could not be printed: "));
}

}  // namespace
}  // namespace orvik::client
