// The client's main window: the splash shown while the client starts (a picture and two
// captions), hidden once the first screen form shows. Closing it before then ends the
// program (through `closed`).
//
// GUI thread only.

#ifndef ORVIK_CLIENT_UI_MAIN_WINDOW_H_
#define ORVIK_CLIENT_UI_MAIN_WINDOW_H_

#include <QLabel>
#include <QWidget>
#include <string>

namespace orvik::client {

class MainWindow final : public QWidget {
  Q_OBJECT

 public:
  MainWindow();

  // The splash picture: "startup.gif" in `folder`, else "orvik.gif", else none.
  void LoadSplash(const std::string& folder);
  // The captions, placed on the raster's cell height (twips).
  void PlaceCaptions(double cellHeight);

  QLabel* Title1() const { return title1_; }
  QLabel* Title2() const { return title2_; }
  QLabel* Artwork() const { return artwork_; }

 signals:
  // The user closed the window.
  void closed();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QLabel* artwork_;
  QLabel* title1_;
  QLabel* title2_;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_UI_MAIN_WINDOW_H_
