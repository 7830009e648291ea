// The connection dialog ("Make Connection"): server, port and time-out, read from the
// user's settings store when the dialog is made and saved there by OK when any was edited;
// Cancel saves nothing. Hidden, not destroyed, after each answer.
//
// GUI thread only. ShowModal blocks in the dialog's own event loop; its close box answers
// neither "OK" nor "CANCEL" but "". A store that cannot be written is told in a box.

#ifndef ORVIK_CLIENT_UI_CONNECTION_DIALOG_H_
#define ORVIK_CLIENT_UI_CONNECTION_DIALOG_H_

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

#include "connection_settings.h"
#include "dialogs.h"

namespace orvik::client {

class ConnectionWidget final : public QDialog, public ConnectionDialog {
  Q_OBJECT

 public:
  ConnectionWidget(Dialogs& dialogs, QWidget* parent = nullptr);

  QLineEdit* Server() const { return server_; }
  QLineEdit* Port() const { return port_; }
  QLineEdit* TimeOut() const { return timeOut_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }

  ConnectionAnswer ShowModal() override;

 private:
  ConnectionValues Values() const;
  void Ok();

  Dialogs& dialogs_;
  QLineEdit* server_;
  QLineEdit* port_;
  QLineEdit* timeOut_;
  QPushButton* ok_;
  QPushButton* cancel_;
  bool changed_ = false;
  std::string result_;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_UI_CONNECTION_DIALOG_H_
