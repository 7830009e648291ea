// The search-choice dialog: "Search for:" a text, then "Any Text Search", the custom search
// (its caption from the settings) or "Cancel". Hidden, not destroyed, after each choice; the
// custom button keeps its caption until the settings give another.
//
// GUI thread only. ShowModal blocks in the dialog's own event loop; its close box answers
// no choice ("").

#ifndef ORVIK_CLIENT_UI_SEARCH_CHOICE_DIALOG_H_
#define ORVIK_CLIENT_UI_SEARCH_CHOICE_DIALOG_H_

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

#include "search_choice.h"

namespace orvik::client {

class SearchChoiceWidget final : public QDialog, public SearchChoiceDialog {
  Q_OBJECT

 public:
  explicit SearchChoiceWidget(QWidget* parent = nullptr);

  QLineEdit* SearchText() const { return search_; }
  QPushButton* AnyTextButton() const { return anyText_; }
  QPushButton* CustomButton() const { return custom_; }
  QPushButton* CancelButton() const { return cancel_; }

  SearchChoice ShowModal(const SearchChoiceButtons& buttons) override;

 private:
  void Choose(const char* result);

  QLineEdit* search_;
  QPushButton* anyText_;
  QPushButton* custom_;
  QPushButton* cancel_;
  std::string result_;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_UI_SEARCH_CHOICE_DIALOG_H_
