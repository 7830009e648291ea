#include "main_window.h"

#include <QCloseEvent>
#include <QPixmap>

#include "widget_look.h"

namespace orvik::client {

MainWindow::MainWindow()
    : artwork_(new QLabel(this)), title1_(new QLabel(this)), title2_(new QLabel(this)) {
  setWindowTitle("OrvikLink");
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::white);
  setPalette(palette);
  setAutoFillBackground(true);
  QFont font("Liberation Serif");
  font.setPointSizeF(14.25);
  font.setBold(true);
  title1_->setFont(font);
  font.setPointSizeF(18);
  title2_->setFont(font);
  title1_->setText("    Welcome to ...");
  title2_->setText("           OrvikLink");
  title1_->hide();
  title2_->hide();
}

void MainWindow::LoadSplash(const std::string& folder) {
  QPixmap picture;
  for (const char* name : {"startup.gif", "orvik.gif"}) {
    if (picture.load(FromLatin1(folder + name))) break;
  }
  artwork_->setPixmap(picture);
  artwork_->adjustSize();
}

void MainWindow::PlaceCaptions(double cellHeight) {
  title1_->adjustSize();
  title2_->adjustSize();
  title1_->move(0, static_cast<int>(Pixels(3 * cellHeight)));
  title2_->move(0, title1_->y() + title1_->height() + static_cast<int>(Pixels(cellHeight / 2)));
  title1_->show();
  title2_->show();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  if (event->spontaneous()) emit closed();
}

}  // namespace orvik::client
