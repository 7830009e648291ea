#include "search_choice_dialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "widget_look.h"

namespace orvik::client {

SearchChoiceWidget::SearchChoiceWidget(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Search");
  setModal(true);
  search_ = new QLineEdit(this);
  anyText_ = new QPushButton("Any Text Search", this);
  custom_ = new QPushButton("Custom Search", this);
  cancel_ = new QPushButton("Cancel", this);
  auto* form = new QFormLayout;
  form->addRow("Search for:", search_);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {anyText_, custom_, cancel_}) {
    b->setAutoDefault(false);
    buttons->addWidget(b);
  }
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(buttons);
  connect(anyText_, &QPushButton::clicked, this, [this] { Choose(kSearchAnyText); });
  connect(custom_, &QPushButton::clicked, this, [this] { Choose(kSearchCustom); });
  connect(cancel_, &QPushButton::clicked, this, [this] { Choose(kSearchCancel); });
}

SearchChoice SearchChoiceWidget::ShowModal(const SearchChoiceButtons& buttons) {
  if (buttons.customCaption) custom_->setText(FromLatin1(*buttons.customCaption));
  custom_->setVisible(buttons.customVisible);
  anyText_->setVisible(buttons.anyTextVisible);
  search_->clear();
  search_->setFocus();
  result_.clear();
  exec();
  return {result_, ToLatin1(search_->text())};
}

void SearchChoiceWidget::Choose(const char* result) {
  result_ = result;
  accept();
}

}  // namespace orvik::client
