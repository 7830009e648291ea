#include "connection_dialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "widget_look.h"

namespace orvik::client {

ConnectionWidget::ConnectionWidget(Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), dialogs_(dialogs) {
  setWindowTitle("Make Connection");
  setModal(true);
  const ConnectionValues stored = LoadConnectionValues();
  server_ = new QLineEdit(FromLatin1(stored.server), this);
  port_ = new QLineEdit(FromLatin1(stored.port), this);
  timeOut_ = new QLineEdit(FromLatin1(stored.timeOut), this);
  ok_ = new QPushButton("OK", this);
  cancel_ = new QPushButton("Cancel", this);
  ok_->setDefault(true);

  auto* address = new QHBoxLayout;
  address->addWidget(server_, 3);
  address->addWidget(new QLabel(":", this));  // lblColon
  address->addWidget(port_, 1);
  auto* form = new QFormLayout;
  form->addRow("Server:", address);
  form->addRow("TimeOut:", timeOut_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(buttons);

  for (QLineEdit* edit : {server_, port_, timeOut_}) {
    connect(edit, &QLineEdit::textChanged, this, [this] { changed_ = true; });
  }
  connect(ok_, &QPushButton::clicked, this, &ConnectionWidget::Ok);
  connect(cancel_, &QPushButton::clicked, this, [this] {
    result_ = kConnectionCancel;
    accept();
  });
}

ConnectionValues ConnectionWidget::Values() const {
  return {ToLatin1(server_->text()), ToLatin1(port_->text()), ToLatin1(timeOut_->text())};
}

ConnectionAnswer ConnectionWidget::ShowModal() {
  result_.clear();
  exec();
  return {result_, Values()};
}

void ConnectionWidget::Ok() {
  if (changed_) {
    if (SaveConnectionValues(Values())) {
      changed_ = false;
    } else {
      dialogs_.MessageBox("The connection values could not be saved in your settings.",
                          BoxButtons::kOk, BoxIcon::kExclamation);
    }
  }
  result_ = kConnectionOk;
  accept();
}

}  // namespace orvik::client
