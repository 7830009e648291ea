// The real client on a fresh embedded home, offscreen: started as the program starts, driven
// by key events as a user types, and ended by the engine's disconnect after OFF. Also the
// program's command line, run as a process.

#include "client_program.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>

#include "demo_home.h"
#include "event_wait.h"
#include "modal_helpers.h"
#include "pick_list_window.h"
#include "port.h"
#include "port_access.h"
#include "program_test_support.h"
#include "setup.h"
#include "user_registry.h"

namespace orvik::client {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class ClientProgramTest : public ProgramHomeTest {
 protected:
  void SetUp() override { MakeHome("orvik-client-program-"); }

  bool WaitScreen(ClientProgram& program, const std::string& text) {
    return WaitFor([&] { return Screen(program).find(text) != std::string::npos; });
  }
  std::string RegistryLines() { return UserRegistry(home_.string()).ListLines(); }

  // What has the keyboard in `form`: the focused control, else the form.
  static QWidget* Focused(ScreenFormWidget* form) {
    QWidget* widget = QApplication::focusWidget();
    return widget && (widget == form || form->isAncestorOf(widget)) ? widget : form;
  }
  // Logs in as the demo user, moves to the demo's account and starts the demo, typing as a
  // user does; false unless its menu is up and waits for a choice.
  bool StartDemoMenu(ClientProgram& program) {
    if (!program.Start() || !WaitScreen(program, "username:")) return false;
    ScreenFormWidget* form = program.TopForm();
    Type(Focused(form), "demo\r");
    if (!WaitScreen(program, "password:")) return false;
    Type(Focused(form), "demo\r");
    if (!WaitScreen(program, "Welcome to OrvikEngine")) return false;
    Type(Focused(form), "LOGTO shop\r");
    Type(Focused(form), "DEMO\r");
    const ScreenStates& states = form->Core().Model().states;
    return WaitFor(
        [&] { return states.msFormState == "MENU" && !program.Shell().AwaitingReply(); });
  }
  // The menu's choice typed, then its OK button clicked; true once the customer form is up.
  static bool OpenCustomer(ClientProgram& program) {
    ScreenFormWidget* form = program.TopForm();
    const ScreenStates& states = form->Core().Model().states;
    Type(Focused(form), "1");
    form->AltOk()->click();
    return WaitFor([&] {
      return states.msFormState == "UPDATE" && !program.Shell().AwaitingReply() &&
             form->EntryWidgets().Entry(2) != nullptr;
    });
  }
};

TEST_F(ClientProgramTest, LogsInListsTheFilesAndEndsOnOff) {
  ClientProgram program({home_.string(), {"MONITOR=True"}});
  std::optional<int> ended;
  QObject::connect(&program, &ClientProgram::ended, [&](int code) { ended = code; });
  ASSERT_TRUE(program.Start());
  EXPECT_EQ(program.Shell().StateMain(), "LOGIN");
  EXPECT_EQ(program.Settings().displayMode, "TERMINAL");

  ASSERT_TRUE(WaitScreen(program, "username:")) << Screen(program);
  ScreenFormWidget* form = program.TopForm();
  ASSERT_NE(form, nullptr);
  EXPECT_FALSE(program.Main().isVisible());  // hidden once the first screen form shows
  EXPECT_TRUE(form->isVisible());
  Type(form, "demo\r");
  ASSERT_TRUE(WaitScreen(program, "password:")) << Screen(program);
  Type(form, "demo\r");
  ASSERT_TRUE(WaitScreen(program, "Welcome to OrvikEngine")) << Screen(program);
  EXPECT_EQ(Screen(program).find("demo\n****"), std::string::npos) << "no password in clear";
  EXPECT_NE(RegistryLines(), "");
  const fs::path shots = fs::path(ORVIK_SCREENSHOT_DIR);
  fs::create_directories(shots);
  ASSERT_TRUE(
      form->grab().save(QString::fromStdString((shots / "client_terminal_login.png").string())));

  Type(form, "LISTF\r");
  ASSERT_TRUE(WaitScreen(program, "LISTF = List of Files/Tables")) << Screen(program);
  ASSERT_TRUE(WaitScreen(program, "\nmd\n")) << Screen(program);
  EXPECT_EQ(form->Core().Raster().RowText(1), "LISTF = List of Files/Tables");
  // The monitor saw the traffic, with the password masked.
  const std::string log = program.Shell().Monitor().Text();
  EXPECT_NE(log.find("TX :L"), std::string::npos);
  const auto count = [&](const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = log.find(what); at != std::string::npos; at = log.find(what, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("TX :d"), 1u) << "the user name once; the password as stars";
  EXPECT_EQ(count("TX :*"), 4u);

  const fs::path shot = shots / "client_terminal_listf.png";
  ASSERT_TRUE(form->grab().save(QString::fromStdString(shot.string())));
  EXPECT_GT(fs::file_size(shot), 1000u);

  BoxAnswerer answerer;
  Type(form, "OFF\r");
  ASSERT_TRUE(WaitFor([&] { return ended.has_value(); })) << Screen(program);
  EXPECT_EQ(*ended, 0);
  EXPECT_EQ(answerer.texts, std::vector<std::string>{"OrvikEngine disconnecting"});
  EXPECT_TRUE(program.PortFinished());
  EXPECT_EQ(RegistryLines(), "") << "the session left the user registry";
}

// What the demo application recorded of the choices it received (its DEMOLOG items CHOICE1,
// CHOICE2 ...), joined by commas, read through a port of its own.
std::string DemoChoices(const fs::path& home) {
  auto port = Port::Create(home.string());
  port_access::SetLogin(*port, "demo", "demo");
  if (!port_access::ConnectAccount(*port, "dm") || !port_access::ValidateLogin(*port) ||
      !port_access::ConnectAccount(*port, "shop"))
    return "no login: " + port->ErrorDetail();
  Variant file;
  if (!port->OOpen(Variant("DEMOLOG"), file)) return "no DEMOLOG";
  std::string choices;
  Variant item;
  for (int n = 1; port->RRead(item, file, Variant("CHOICE" + std::to_string(n))); ++n)
    choices += (n > 1 ? "," : "") + item.ToString();
  return choices;
}

// A left click on `target`, as the mouse makes it.
void ClickOn(QWidget* target) {
  const QPointF at(target->width() / 2.0, target->height() / 2.0);
  for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
    QMouseEvent event(type, at, target->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
  }
}

TEST_F(ClientProgramTest, TheDemoMenuTakesItsChoicesByMouse) {
  std::string error;
  ASSERT_TRUE(SetUpDemoHome(home_, "shop", "demo", "demo", &error)) << error;

  ClientProgram program({home_.string(), {"MONITOR=True"}});
  std::optional<int> ended;
  QObject::connect(&program, &ClientProgram::ended, [&](int code) { ended = code; });
  ASSERT_TRUE(program.Start());
  ASSERT_TRUE(WaitScreen(program, "username:")) << Screen(program);
  ScreenFormWidget* form = program.TopForm();
  Type(form, "demo\r");
  ASSERT_TRUE(WaitScreen(program, "password:")) << Screen(program);
  Type(form, "demo\r");
  ASSERT_TRUE(WaitScreen(program, "Welcome to OrvikEngine")) << Screen(program);
  Type(form, "LOGTO shop\r");
  Type(form, "DEMO\r");

  // The menu, in widgets.
  const auto itemShown = [&](int index, const QString& text) {
    QLabel* label = form->ItemLabel(index);
    return label != nullptr && label->isVisibleTo(form) && label->text() == text;
  };
  ASSERT_TRUE(WaitFor([&] { return itemShown(4, "4.  Popup"); })) << Screen(program);
  EXPECT_EQ(form->HeaderLabel(1)->text(), "Demo application");
  EXPECT_TRUE(form->AltSelect()->isVisibleTo(form));
  const fs::path shots = fs::path(ORVIK_SCREENSHOT_DIR);
  fs::create_directories(shots);
  EXPECT_TRUE(form->grab().save(QString::fromStdString((shots / "client_demo_menu.png").string())));

  // The popup item by mouse: the popup opens over the menu, and its OK closes it.
  ClickOn(form->ItemLabel(4));
  ASSERT_TRUE(WaitFor([&] { return form->Core().OpenPopups().size() == 1; }));
  PopupWindow* popup = form->Popup(form->Core().OpenPopups()[0]);
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(popup->windowTitle(), "Orvik demo");
  EXPECT_TRUE(
      popup->grab().save(QString::fromStdString((shots / "client_demo_popup.png").string())));
  popup->OkButton()->click();
  EXPECT_TRUE(form->Core().OpenPopups().empty());
  ASSERT_TRUE(WaitFor([&] { return !program.Shell().AwaitingReply(); }));

  // Leaving by mouse, and Yes to the question.
  BoxAnswerer answerer(true);
  ClickOn(form->ItemLabel(9));  // "Leave the demo", the last
  ASSERT_TRUE(WaitFor([&] { return !answerer.texts.empty(); }));
  ASSERT_EQ(answerer.texts.size(), 1u);
  EXPECT_EQ(answerer.texts[0].rfind("Leave the demo?", 0), 0u) << answerer.texts[0];
  ASSERT_TRUE(WaitFor([&] { return !program.Shell().AwaitingReply(); }));

  // Back at TCL: the terminal again, the menu gone.
  ASSERT_TRUE(WaitFor([&] { return form->Core().Model().states.msState == "TERMINAL"; }));
  EXPECT_EQ(form->Core().Raster().RowText(1), " :");
  EXPECT_FALSE(form->AltPanel()->isVisibleTo(form));
  EXPECT_FALSE(form->ItemLabel(1)->isVisibleTo(form));

  program.Shell().Closedown();
  ASSERT_TRUE(WaitFor([&] { return program.PortFinished(); }));
  // What reached the program: the two codes picked by mouse.
  EXPECT_EQ(DemoChoices(home_), "4,9") << program.Shell().Monitor().Text();
}

// The demo program's customer form, filled in by key events as a user types: the new name
// reaches the program, which stores it; the form opened again shows it.
TEST_F(ClientProgramTest, TheDemoFormFilledByKeysReachesTheProgram) {
  std::string error;
  ASSERT_TRUE(SetUpDemoHome(home_, "shop", "", "", &error)) << error;
  ClientProgram program({home_.string(), {"MONITOR=True"}});
  ASSERT_TRUE(StartDemoMenu(program)) << Screen(program);
  ScreenFormWidget* form = program.TopForm();
  const ScreenStates& states = form->Core().Model().states;
  const auto type = [&](const QString& text) { Type(Focused(form), text); };
  ASSERT_TRUE(OpenCustomer(program)) << states.msFormState << " " << states.msState << " ["
                                     << form->AltSelect()->text().toStdString() << "] focus "
                                     << Focused(form)->metaObject()->className() << "\n"
                                     << program.Shell().Monitor().Text();
  auto* name = qobject_cast<QLineEdit*>(form->EntryWidgets().Entry(2));
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(name->text(), "Acme Ltd");
  name->setFocus(Qt::MouseFocusReason);
  QCoreApplication::processEvents();
  name->selectAll();
  type("Bolt Brothers\t");
  const std::string& log = program.Shell().Monitor().Text();
  ASSERT_TRUE(WaitFor([&] {
    return log.find("TX :Bolt Brothers") != std::string::npos && states.msState == "FORM_ACTIVE" &&
           !program.Shell().AwaitingReply();
  })) << log;
  EXPECT_NE(log.find("TX :2"), std::string::npos);
  const fs::path shots = fs::path(ORVIK_SCREENSHOT_DIR);
  fs::create_directories(shots);
  ASSERT_TRUE(
      form->grab().save(QString::fromStdString((shots / "client_data_entry_form.png").string())));

  // Esc is the open form's Quit; the menu again, and the form again with what was stored.
  type(QString(QChar(27)));
  ASSERT_TRUE(WaitFor([&] {
    return states.msFormState == "MENU" && !program.Shell().AwaitingReply();
  })) << states.msFormState;
  ASSERT_TRUE(OpenCustomer(program));
  EXPECT_EQ(qobject_cast<QLineEdit*>(form->EntryWidgets().Entry(2))->text(), "Bolt Brothers");
  program.Shell().Closedown();
}

// A value the engine does not store (another user holds the customer's item) is not shown
// as taken: the demo says why in an error box, the store and the form keep the old name.
TEST_F(ClientProgramTest, TheDemoSaysSoWhenAValueIsNotStored) {
  std::string error;
  ASSERT_TRUE(SetUpDemoHome(home_, "shop", "", "", &error)) << error;
  ClientProgram program({home_.string(), {}});
  ASSERT_TRUE(StartDemoMenu(program)) << Screen(program);
  // Another session holds the customer for its own update.
  const std::shared_ptr<Port> holder = HoldItem("DEMOCUST", "C100", &error);
  ASSERT_NE(holder, nullptr) << error;

  ASSERT_TRUE(OpenCustomer(program)) << Screen(program);
  ScreenFormWidget* form = program.TopForm();
  auto* name = qobject_cast<QLineEdit*>(form->EntryWidgets().Entry(2));
  ASSERT_NE(name, nullptr);
  name->setFocus(Qt::MouseFocusReason);
  QCoreApplication::processEvents();
  name->selectAll();
  BoxAnswerer answerer;
  Type(Focused(form), "Bolt Brothers\t");
  ASSERT_TRUE(WaitFor([&] { return !answerer.texts.empty(); })) << "no box";
  EXPECT_EQ(answerer.texts[0], "The value was not stored: [920] Another user has this item locked\n");
  ASSERT_TRUE(WaitFor([&] { return name->text() == "Acme Ltd"; })) << name->text().toStdString();
  Variant file, stored;
  ASSERT_TRUE(holder->OOpen(Variant("DEMOCUST"), file));
  ASSERT_TRUE(holder->RRead(stored, file, Variant("C100")));
  EXPECT_EQ(stored.ToString().substr(0, 8), "Acme Ltd");
  program.Shell().Closedown();
}

TEST_F(ClientProgramTest, ClosingTheSplashBeforeTheFirstScreenEndsTheSession) {
  ClientProgram program({home_.string(), {}});
  std::optional<int> ended;
  QObject::connect(&program, &ClientProgram::ended, [&](int code) { ended = code; });
  ASSERT_TRUE(program.Start());
  program.Shell().MainWindowClosed();
  ASSERT_TRUE(WaitFor([&] { return ended.has_value(); }));
  EXPECT_EQ(*ended, 0);
  EXPECT_TRUE(program.PortFinished());
}

TEST_F(ClientProgramTest, TheSettingsFileAndTheCommandLine) {
  std::ofstream(home_ / "OrvikLink.ini") << "# comment\n  * another\nDIALOGLINE=20\n"
                                            "GUIMODE=GUI\nAPPOFF=log off\n";
  ClientProgram program({home_.string(), {"DIALOGLINE=21", "EOS=\\r"}});
  ASSERT_TRUE(program.Start());
  EXPECT_EQ(program.Settings().dialogLine, 21);  // the command line comes after the file
  EXPECT_EQ(program.Settings().appOff, "log off");
  EXPECT_EQ(program.Settings().displayMode, "TERMINAL");
  EXPECT_EQ(program.Settings().pathHome, home_.string() + "/");
  program.Shell().Closedown();
}

// A home that is a file or is not there is refused at the start, with the reason, rather than
// a session that never answers and a client left waiting on its splash.
TEST_F(ClientProgramTest, AHomeThatIsNoFolderIsRefusedAtTheStart) {
  std::ofstream(home_ / "a-file") << "not a home\n";
  for (const fs::path& home : {home_ / "a-file", home_ / "not-there"}) {
    BoxAnswerer boxes;
    ClientProgram program({home.string(), {}});
    EXPECT_FALSE(program.Start()) << home;
    ASSERT_EQ(boxes.texts.size(), 1u) << home;
    EXPECT_EQ(boxes.texts[0], "The engine session could not be started: the engine home " +
                                  home.string() + " is not a folder.");
  }
  EXPECT_FALSE(fs::exists(home_ / "not-there"));
}

// The demo program's search on an embedded home: the engine's SEARCH transmission opens the
// pick list, the row double-clicked goes back to the program, which shows that customer.
TEST_F(ClientProgramTest, TheDemoSearchReturnsThePickedRowToTheProgram) {
  std::string error;
  ASSERT_TRUE(SetUpDemoHome(home_, "shop", "", "", &error)) << error;

  ClientProgram program({home_.string(), {"MONITOR=True"}});
  ASSERT_TRUE(program.Start());
  ASSERT_TRUE(WaitScreen(program, "username:")) << Screen(program);
  Type(program.TopForm(), "demo\r");
  ASSERT_TRUE(WaitScreen(program, "password:")) << Screen(program);
  Type(program.TopForm(), "demo\r");
  ASSERT_TRUE(WaitScreen(program, "Welcome to OrvikEngine")) << Screen(program);
  Type(program.TopForm(), "LOGTO shop\r");  // the session takes DEMO after it
  const auto log = [&] { return program.Shell().Monitor().Text(); };
  const auto logged = [&](const std::string& what) {
    return WaitFor([&] { return log().find(what) != std::string::npos; });
  };
  Type(program.TopForm(), "DEMO\r");
  ASSERT_TRUE(logged("Find a customer")) << log();

  // Item 5 of the menu, as a click on it sends it.
  std::vector<std::string> rows;
  WhenModal<PickListWidget>([&](PickListWidget* w) {
    QTreeWidget* list = w->List();
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      rows.push_back(
          (list->topLevelItem(i)->text(0) + "|" + list->topLevelItem(i)->text(1)).toStdString());
    }
    const fs::path shots = fs::path(ORVIK_SCREENSHOT_DIR);
    fs::create_directories(shots);
    w->grab().save(QString::fromStdString((shots / "client_demo_pick_list.png").string()));
    QTreeWidgetItem* bolt = list->topLevelItem(1);
    list->setCurrentItem(bolt);
    emit list->itemDoubleClicked(bolt, 0);
  });
  program.Shell().Send("5\r");
  ASSERT_TRUE(logged("TX :C200\r")) << log();
  EXPECT_EQ(rows, (std::vector<std::string>{"C100|Acme Ltd", "C200|Bolt & Co"}));
  // The program read the customer picked and shows it.
  ASSERT_TRUE(logged("ENABLED=FALSE>C200<")) << log();
  EXPECT_NE(log().find(">Bolt & Co<"), std::string::npos) << log();
  EXPECT_EQ(log().find("No customer"), std::string::npos) << log();

  program.Shell().Closedown();
  ASSERT_TRUE(WaitFor([&] { return program.PortFinished(); }));
}

// --- The program's command line, as a process ---------------------------------------------

struct ProcessRun {
  int code;
  std::string out;
  std::string err;
};

ProcessRun RunClient(const QStringList& args) {
  QProcess p;
  p.start(ORVIK_CLIENT_PROGRAM, args);
  p.waitForFinished(20000);
  return {p.exitCode(), p.readAllStandardOutput().toStdString(),
          p.readAllStandardError().toStdString()};
}

TEST(ClientCommandLineTest, HelpVersionAndUsageErrors) {
  const ProcessRun help = RunClient({"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("OvEngLink"), std::string::npos) << help.out;
  EXPECT_NE(help.out.find("--home <DIR>"), std::string::npos);
  EXPECT_EQ(help.err, "");

  const ProcessRun version = RunClient({"--version"});
  EXPECT_EQ(version.code, 0);
  EXPECT_NE(version.out.find("1.30.4"), std::string::npos) << version.out;
  EXPECT_EQ(version.err, "");

  const ProcessRun bad = RunClient({"--frobnicate"});
  EXPECT_EQ(bad.code, 2);
  EXPECT_EQ(bad.out, "");
  EXPECT_NE(bad.err.find("frobnicate"), std::string::npos) << bad.err;

  const ProcessRun missing = RunClient({"--home"});
  EXPECT_EQ(missing.code, 2);
  EXPECT_EQ(missing.out, "");
  EXPECT_NE(missing.err.find("--home"), std::string::npos) << missing.err;
}

// The demo's nomination: the number typed in the one entry of the nomination screen goes to
// the program as it is; the program's answer, an update of the same form, leaves the
// nominated entry closed with the customer's name beside it and opens the customer's fields.
TEST_F(ClientProgramTest, TheDemoNominationOpensTheCustomerWithItsEntryClosed) {
  std::string error;
  ASSERT_TRUE(SetUpDemoHome(home_, "shop", "", "", &error)) << error;
  BoxAnswerer boxes;  // none should show; one that did would hold the test up
  ClientProgram program({home_.string(), {"MONITOR=True"}});
  ASSERT_TRUE(program.Start());
  ASSERT_TRUE(WaitScreen(program, "username:")) << Screen(program);
  ScreenFormWidget* form = program.TopForm();
  const auto type = [&](const QString& text) {
    QWidget* widget = QApplication::focusWidget();
    Type(widget && form->isAncestorOf(widget) ? widget : form, text);
  };
  for (const auto& [prompt, line] : {std::pair{"username:", "demo\r"},
                                     {"password:", "demo\r"},
                                     {"Welcome to OrvikEngine", "LOGTO shop\rDEMO\r"}}) {
    ASSERT_TRUE(WaitScreen(program, prompt)) << Screen(program);
    type(line);
  }
  const ScreenStates& states = form->Core().Model().states;
  const auto settled = [&](const char* kind) {
    return WaitFor([&] { return states.msFormState == kind && !program.Shell().AwaitingReply(); });
  };
  ASSERT_TRUE(settled("MENU")) << Screen(program);
  type("7");
  form->AltOk()->click();
  ASSERT_TRUE(settled("NOMINATE")) << states.msFormState;
  auto* nominated = qobject_cast<QLineEdit*>(form->EntryWidgets().Entry(0));
  ASSERT_NE(nominated, nullptr);
  // Offscreen no window is the active one, so no widget has the focus: the keys go to the
  // entry the screen has given the cursor.
  Type(nominated, "c200\r");
  ASSERT_TRUE(settled("UPDATE")) << states.msFormState << program.Shell().Monitor().Text();

  EXPECT_EQ(nominated->text(), "C200");
  EXPECT_FALSE(nominated->isEnabled()) << "the nominated entry stays open";
  const auto entryText = [&](std::int32_t entry) {
    auto* edit = qobject_cast<QLineEdit*>(form->EntryWidgets().Entry(entry));
    return edit != nullptr && edit->isEnabled() ? edit->text().toStdString() : "(closed)";
  };
  EXPECT_EQ(entryText(1), "Bolt & Co");
  EXPECT_EQ(entryText(2), "1200");
  // The name beside the number: the description of the nominated value.
  const QList<QLabel*> labels = form->findChildren<QLabel*>();
  EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [&](QLabel* label) {
    return label->isVisibleTo(form) && label->text().trimmed() == "Bolt & Co" &&
           label->x() > nominated->x() + nominated->width() / 2;
  }));
  const std::string& log = program.Shell().Monitor().Text();
  EXPECT_NE(log.find("TX :c200"), std::string::npos) << log;
  EXPECT_EQ(log.find("TX :0"), std::string::npos) << log;
  EXPECT_TRUE(boxes.texts.empty()) << boxes.texts.front();
  program.Shell().Closedown();
}

}  // namespace
}  // namespace orvik::client
