// The pick list's window: a text box for a text of the user's own above a list of columns
// with headers. A click on a header sorts by that column, a click on a row copies its text
// into the text box, a double click or Enter (wherever the focus is) picks, the close box
// picks nothing. Hidden, not destroyed, after each search, so one window serves them all.
//
// GUI thread only. ShowModal blocks in the window's own event loop; the picked text comes
// back as Latin-1 bytes.

#ifndef ORVIK_CLIENT_UI_PICK_LIST_WINDOW_H_
#define ORVIK_CLIENT_UI_PICK_LIST_WINDOW_H_

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>

#include "pick_list.h"

namespace orvik::client {

class PickListWidget final : public QDialog, public PickListWindow {
  Q_OBJECT

 public:
  explicit PickListWidget(QWidget* parent = nullptr);

  QLineEdit* Command() const { return command_; }
  QTreeWidget* List() const { return list_; }
  // SearchResult: "" until a pick.
  const std::string& Result() const { return result_; }

  // PickListWindow
  double ScreenWidth() const override;
  double ScreenHeight() const override;
  std::string ShowModal(const PickList& list, const PickListPlacement& placement) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Fill(const PickList& list, double scale);
  void Pick(std::string result);
  void EnterPressed();

  QLabel* label_;
  QLineEdit* command_;
  QTreeWidget* list_;
  std::string result_;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_UI_PICK_LIST_WINDOW_H_
