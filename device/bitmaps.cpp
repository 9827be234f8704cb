#include "device/bitmaps.h"

#include <QBitmap>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace quillet {
namespace {

QPixmap Blank(int w, int h) {
  QPixmap p(w, h);
  p.fill(Qt::transparent);
  return p;
}

// A page with lines of text: the list of stocks; a red tag marks the sold list.
QPixmap ListImage(bool sold) {
  QPixmap p = Blank(16, 16);
  QPainter g(&p);
  g.setPen(QColor(40, 40, 40));
  g.setBrush(Qt::white);
  g.drawRect(2, 1, 11, 13);
  g.setPen(QColor(0, 70, 160));
  for (int y = 4; y <= 11; y += 3) g.drawLine(4, y, 11, y);
  if (sold) {
    g.setPen(Qt::NoPen);
    g.setBrush(QColor(200, 30, 30));
    g.drawEllipse(QRectF(8.5, 8.5, 7, 7));
    g.setPen(Qt::white);
    g.drawLine(10, 12, 14, 12);
  }
  return p;
}

QPixmap ChartsImage() {
  QPixmap p = Blank(16, 16);
  QPainter g(&p);
  g.setPen(QColor(40, 40, 40));
  g.drawLine(1, 14, 15, 14);
  g.drawLine(1, 1, 1, 14);
  g.setPen(Qt::NoPen);
  g.setBrush(QColor(0, 110, 200));
  g.drawRect(3, 8, 3, 6);
  g.setBrush(QColor(0, 150, 70));
  g.drawRect(7, 4, 3, 10);
  g.setBrush(QColor(220, 140, 0));
  g.drawRect(11, 6, 3, 8);
  return p;
}

// A bell; yellow and ringing while an alert is active.
QPixmap BellImage(bool active) {
  QPixmap p = Blank(16, 16);
  QPainter g(&p);
  g.setRenderHint(QPainter::Antialiasing);
  QPainterPath bell;
  bell.moveTo(3, 12);
  bell.cubicTo(5, 10, 4, 3, 8, 3);
  bell.cubicTo(12, 3, 11, 10, 13, 12);
  bell.closeSubpath();
  g.setPen(QPen(QColor(60, 60, 60), 1));
  g.setBrush(active ? QColor(250, 200, 0) : QColor(190, 190, 190));
  g.drawPath(bell);
  g.drawEllipse(QRectF(7, 12, 2.5, 2.5));
  g.drawLine(QPointF(8, 1.5), QPointF(8, 3));
  if (active) {
    g.setPen(QPen(QColor(210, 20, 20), 1.4));
    g.drawArc(QRectF(0, 2, 4, 8), 100 * 16, 160 * 16);
    g.drawArc(QRectF(12, 2, 4, 8), -80 * 16, 160 * 16);
  }
  return p;
}

// A globe with an arrow: fetch prices from the Internet.
QPixmap UpdateImage() {
  QPixmap p = Blank(16, 16);
  QPainter g(&p);
  g.setRenderHint(QPainter::Antialiasing);
  g.setPen(QPen(QColor(0, 80, 160), 1));
  g.setBrush(QColor(120, 180, 240));
  g.drawEllipse(QRectF(1.5, 1.5, 12, 12));
  g.setBrush(Qt::NoBrush);
  g.drawEllipse(QRectF(5, 1.5, 5, 12));
  g.drawLine(QPointF(1.5, 7.5), QPointF(13.5, 7.5));
  g.setPen(Qt::NoPen);
  g.setBrush(QColor(0, 150, 60));
  g.drawPolygon(QPolygonF({QPointF(11, 16), QPointF(16, 16), QPointF(16, 11)}));
  return p;
}

// A coin with the currency sign.
QPixmap CashImage() {
  QPixmap p = Blank(16, 16);
  QPainter g(&p);
  g.setRenderHint(QPainter::Antialiasing);
  g.setPen(QPen(QColor(140, 100, 0), 1));
  g.setBrush(QColor(240, 200, 60));
  g.drawEllipse(QRectF(1.5, 1.5, 13, 13));
  QFont f;
  f.setPixelSize(11);
  f.setBold(true);
  g.setFont(f);
  g.setPen(QColor(120, 80, 0));
  g.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("$"));
  return p;
}

QPixmap ArrowBitmap(int image) {
  QPixmap p = Blank(7, 9);
  QPainter g(&p);
  switch (image) {
    case 0:  // no quote: a grey dot
      g.setPen(Qt::NoPen);
      g.setBrush(QColor(150, 150, 150));
      g.drawRect(2, 3, 3, 3);
      break;
    case 1:  // unchanged: two bars
      g.setPen(QColor(0, 0, 160));
      g.drawLine(0, 3, 6, 3);
      g.drawLine(0, 5, 6, 5);
      break;
    case 2:  // up
      g.setPen(Qt::NoPen);
      g.setBrush(QColor(0, 160, 0));
      g.drawPolygon(QPolygon({QPoint(3, 1), QPoint(7, 7), QPoint(0, 7)}));
      break;
    case 3:  // down
      g.setPen(Qt::NoPen);
      g.setBrush(QColor(210, 0, 0));
      g.drawPolygon(QPolygon({QPoint(0, 1), QPoint(7, 1), QPoint(3, 7)}));
      break;
    default:  // not updated yet: a small star
      g.setPen(QColor(230, 150, 0));
      g.drawLine(3, 1, 3, 7);
      g.drawLine(0, 4, 6, 4);
      g.drawLine(1, 2, 5, 6);
      g.drawLine(1, 6, 5, 2);
      break;
  }
  return p;
}

QPixmap NoteBitmap() {
  QPixmap p = Blank(6, 8);
  QPainter g(&p);
  g.setPen(QColor(120, 100, 0));
  g.setBrush(QColor(255, 235, 90));
  g.drawRect(0, 0, 5, 7);
  g.setPen(QColor(120, 100, 0));
  g.drawLine(1, 2, 4, 2);
  g.drawLine(1, 4, 4, 4);
  return p;
}

QPixmap CalcBitmap() {
  QPixmap p = Blank(16, 16);
  QPainter g(&p);
  g.setPen(QColor(40, 40, 40));
  g.setBrush(QColor(210, 210, 210));
  g.drawRect(2, 0, 11, 15);
  g.setBrush(QColor(170, 220, 170));
  g.drawRect(4, 2, 7, 3);
  g.setPen(Qt::NoPen);
  g.setBrush(QColor(60, 60, 60));
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) g.drawRect(4 + c * 3, 7 + r * 2 + r, 2, 2);
  }
  return p;
}

QPixmap ChartBitmap() {
  QPixmap p = Blank(16, 16);
  QPainter g(&p);
  g.setRenderHint(QPainter::Antialiasing);
  g.setPen(QColor(40, 40, 40));
  g.drawLine(1, 15, 15, 15);
  g.drawLine(1, 1, 1, 15);
  g.setPen(QPen(QColor(0, 120, 0), 1.5));
  g.drawPolyline(
      QPolygonF({QPointF(2, 12), QPointF(5, 9), QPointF(8, 11), QPointF(11, 5), QPointF(15, 3)}));
  return p;
}

QPixmap DeleteBitmap() {
  QPixmap p = Blank(16, 16);
  QPainter g(&p);
  g.setRenderHint(QPainter::Antialiasing);
  g.setPen(QPen(QColor(200, 0, 0), 2.5, Qt::SolidLine, Qt::RoundCap));
  g.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
  g.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
  return p;
}

// The About box's picture: a quill over a rising line.
QPixmap AboutBitmap() {
  QPixmap p = Blank(48, 48);
  QPainter g(&p);
  g.setRenderHint(QPainter::Antialiasing);
  g.setPen(Qt::NoPen);
  g.setBrush(QColor(0, 70, 150));
  g.drawRoundedRect(QRectF(0, 0, 48, 48), 8, 8);
  g.setPen(QPen(QColor(120, 220, 120), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  g.drawPolyline(QPolygonF({QPointF(6, 38), QPointF(16, 28), QPointF(24, 32), QPointF(40, 12)}));
  QPainterPath quill;
  quill.moveTo(14, 42);
  quill.cubicTo(18, 26, 30, 10, 42, 6);
  quill.cubicTo(38, 18, 28, 30, 14, 42);
  g.setPen(QPen(QColor(230, 230, 230), 1));
  g.setBrush(QColor(255, 255, 255, 220));
  g.drawPath(quill);
  return p;
}

// The sheet's tab strip: Info, Market, Calc, Note, Chart, Alert, Sell, each 16 by 16 on pure
// green, which is the strip's mask colour.
QPixmap SheetTabStrip() {
  QPixmap p(16 * kSheetTabImageCount, 16);
  p.fill(QColor(0, 255, 0));
  QPainter g(&p);
  g.setRenderHint(QPainter::Antialiasing);
  // Info: an "i" in a blue disc.
  g.setPen(Qt::NoPen);
  g.setBrush(QColor(0, 80, 180));
  g.drawEllipse(QRectF(1.5, 1.5, 13, 13));
  g.setBrush(Qt::white);
  g.drawRect(QRectF(7, 7, 2, 5));
  g.drawEllipse(QRectF(7, 3.5, 2, 2));
  // Market: a price board with a rising and a falling figure.
  g.translate(16, 0);
  g.setBrush(QColor(30, 30, 30));
  g.drawRect(1, 2, 14, 12);
  g.setBrush(QColor(0, 200, 70));
  g.drawPolygon(QPolygonF({QPointF(3, 7), QPointF(6, 4), QPointF(9, 7)}));
  g.setBrush(QColor(230, 40, 40));
  g.drawPolygon(QPolygonF({QPointF(7, 9), QPointF(10, 12), QPointF(13, 9)}));
  // Calc: the calculator.
  g.translate(16, 0);
  g.drawPixmap(0, 0, CalcBitmap());
  // Note: a yellow sheet with lines.
  g.translate(16, 0);
  g.setPen(QColor(120, 100, 0));
  g.setBrush(QColor(255, 235, 90));
  g.drawRect(QRectF(2.5, 1.5, 11, 13));
  for (int y = 5; y <= 11; y += 3) g.drawLine(5, y, 11, y);
  // Chart.
  g.translate(16, 0);
  g.drawPixmap(0, 0, ChartBitmap());
  // Alert: the bell.
  g.translate(16, 0);
  g.setPen(QColor(90, 70, 0));
  g.setBrush(QColor(240, 200, 40));
  QPainterPath bell;
  bell.moveTo(3, 12);
  bell.cubicTo(5, 10, 4, 3, 8, 3);
  bell.cubicTo(12, 3, 11, 10, 13, 12);
  bell.closeSubpath();
  g.drawPath(bell);
  g.drawEllipse(QRectF(6.5, 12, 3, 3));
  // Sell: a coin going out of a hand's reach, drawn as a coin and an arrow.
  g.translate(16, 0);
  g.setPen(QColor(120, 90, 0));
  g.setBrush(QColor(250, 200, 60));
  g.drawEllipse(QRectF(1.5, 4.5, 9, 9));
  g.setPen(QPen(QColor(0, 120, 0), 2, Qt::SolidLine, Qt::RoundCap));
  g.drawLine(QPointF(9, 4), QPointF(14, 4));
  g.drawLine(QPointF(12, 2), QPointF(14, 4));
  g.drawLine(QPointF(12, 6), QPointF(14, 4));
  return p;
}

// A coin with a "¤": the currency toggle.
QPixmap CurrencyBitmap() {
  QPixmap p = Blank(16, 16);
  QPainter g(&p);
  g.setRenderHint(QPainter::Antialiasing);
  g.setPen(QColor(120, 90, 0));
  g.setBrush(QColor(250, 200, 60));
  g.drawEllipse(QRectF(1.5, 1.5, 13, 13));
  g.setPen(QPen(QColor(120, 90, 0), 1.2));
  g.drawLine(QPointF(5, 8), QPointF(11, 8));
  g.drawLine(QPointF(8, 4.5), QPointF(8, 11.5));
  return p;
}

// The Info page's operations: a copy (two sheets), more shares (a plus), a sale (the coin) and
// deleting (the cross).
QPixmap NewEntryBitmap() {
  QPixmap p = Blank(16, 16);
  QPainter g(&p);
  g.setPen(QColor(40, 40, 40));
  g.setBrush(Qt::white);
  g.drawRect(1, 1, 9, 11);
  g.setBrush(QColor(220, 235, 255));
  g.drawRect(5, 4, 9, 11);
  return p;
}

QPixmap AddSharesBitmap() {
  QPixmap p = Blank(16, 16);
  QPainter g(&p);
  g.setPen(Qt::NoPen);
  g.setBrush(QColor(0, 140, 60));
  g.drawRect(6, 2, 4, 12);
  g.drawRect(2, 6, 12, 4);
  return p;
}

}  // namespace

QPixmap SheetTabImage(int index) {
  if (index < 0 || index >= kSheetTabImageCount) return QPixmap();
  QPixmap image = ResourceBitmap(IDB_SHEET_TABS).copy(index * 16, 0, 16, 16);
  image.setMask(image.createMaskFromColor(QColor(0, 255, 0), Qt::MaskInColor));
  return image;
}

QPixmap ToolbarImage(int index) {
  switch (index) {
    case 0:
      return ListImage(false);
    case 1:
      return ChartsImage();
    case 2:
      return BellImage(false);
    case 3:
      return UpdateImage();
    case 4:
      return CashImage();
    case 5:
      return BellImage(true);
    case 6:
      return ListImage(true);
    default:
      return QPixmap();
  }
}

CListBitmaps::CListBitmaps() {
  for (int k = 0; k < 5; ++k) arrows_[k] = ArrowBitmap(k);
  note_ = NoteBitmap();
}

const QPixmap* CListBitmaps::Arrow(int image) const {
  return image >= 0 && image < 5 ? &arrows_[image] : nullptr;
}

QPixmap ResourceBitmap(int id) {
  switch (id) {
    case IDB_ABOUT:
      return AboutBitmap();
    case IDB_DELETE:
      return DeleteBitmap();
    case IDB_CALC:
      return CalcBitmap();
    case IDB_CHART:
      return ChartBitmap();
    case IDB_NOTE:
      return NoteBitmap();
    case IDB_SHEET_TABS:
      return SheetTabStrip();
    case IDB_CURRENCY:
      return CurrencyBitmap();
    case IDB_NEW_ENTRY:
      return NewEntryBitmap();
    case IDB_ADD_SHARES:
      return AddSharesBitmap();
    case IDB_SELL:
      return SheetTabImage(6);
    case IDB_DELETE_STOCK:
      return DeleteBitmap();
    default:
      if (id >= IDB_ARROW_FIRST && id < IDB_ARROW_FIRST + 5)
        return ArrowBitmap(id - IDB_ARROW_FIRST);
      return QPixmap();
  }
}

}  // namespace quillet
