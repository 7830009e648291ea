#include "screen_print.h"

#include <cups/cups.h>

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryFile>

namespace orvik::client {
namespace {

// The name of the default destination, "" when there is none.
std::string DefaultDestination() {
  cups_dest_t* dests = nullptr;
  const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
  const cups_dest_t* dest = cupsGetDest(nullptr, nullptr, count, dests);
  std::string name = dest != nullptr && dest->name != nullptr ? dest->name : "";
  cupsFreeDests(count, dests);
  return name;
}

// The image on one A4 landscape page, as large as its proportions allow.
bool WritePdf(const QImage& image, const QString& path) {
  QPdfWriter writer(path);
  writer.setTitle(kScreenPrintTitle);
  writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                   QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
  writer.setResolution(150);
  QPainter painter;
  if (!painter.begin(&writer)) return false;
  const QRectF page(QPointF(0, 0), QSizeF(writer.width(), writer.height()));
  const QSizeF size = QSizeF(image.size()).scaled(page.size(), Qt::KeepAspectRatio);
  painter.drawImage(QRectF(QPointF(0, 0), size), image);
  return painter.end();
}

}  // namespace

bool PrintImageOnDefaultPrinter(const QImage& image, std::string* error) {
  const std::string printer = DefaultDestination();
  if (printer.empty()) {
    *error = "there is no printer.";
    return false;
  }
  QTemporaryFile file;
  if (!file.open() || !WritePdf(image, file.fileName())) {
    *error = "the page could not be prepared.";
    return false;
  }
  const int job =
      cupsPrintFile2(CUPS_HTTP_DEFAULT, printer.c_str(), file.fileName().toLocal8Bit().constData(),
                     kScreenPrintTitle, 0, nullptr);
  if (job == 0) {
    *error = "the printer " + printer + " did not take the job (" + cupsLastErrorString() + ").";
    return false;
  }
  return true;
}

}  // namespace orvik::client
