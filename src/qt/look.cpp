#include "qt/look.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QWidget>

#include "base/cp932.h"
#include "base/ui_texts.h"

namespace brim::qt {

namespace {

QString FontName(const std::string& cp932) { return QString::fromStdString(Cp932ToUtf8(cp932)); }

// A small box with a band across it, in the given colours: an archive.
QIcon DrawIcon(QColor body, QColor band) {
  QIcon icon;
  for (int size : {16, 32, 48}) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal u = size / 16.0;
    QRectF box(1.5 * u, 3 * u, 13 * u, 11.5 * u);
    p.setPen(QPen(body.darker(160), u));
    p.setBrush(body);
    p.drawRoundedRect(box, 1.5 * u, 1.5 * u);
    p.setPen(Qt::NoPen);
    p.setBrush(band);
    p.drawRect(QRectF(box.left() + u, 6.5 * u, box.width() - 2 * u, 2.5 * u));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(7 * u, 5.5 * u, 2 * u, 4.5 * u));
    p.end();
    icon.addPixmap(pm);
  }
  return icon;
}

}  // namespace

QString Display(std::string_view cp932) {
  if (IsAscii(cp932)) return QString::fromLatin1(cp932.data(), static_cast<qsizetype>(cp932.size()));
  return QString::fromStdString(Cp932ToUtf8(cp932));
}

QString DisplayLine(std::string_view cp932) {
  QString text = Display(cp932);
  for (QChar& c : text) {
    if (c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f' || c == QChar::ParagraphSeparator ||
        c == QChar::LineSeparator || c == u'\x1c' || c == u'\x1d' || c == u'\x1e' || c == u'\x85') {
      c = QChar::ReplacementCharacter;
    }
  }
  return text;
}

void InstallFontFallbacks() {
  QFont::insertSubstitutions(FontName(Ui().fontProportional), {"IPAPGothic", "IPAGothic", "Noto Sans CJK JP"});
  QFont::insertSubstitutions(FontName(Ui().fontFixed), {"IPAGothic", "Noto Sans Mono CJK JP"});
}

QFont WindowFont(int px) {
  QFont f(FontName(Ui().fontProportional));
  f.setPixelSize(px);
  return f;
}

QFont LogFont() {
  QFont f(FontName(Ui().fontFixed));
  f.setPixelSize(12);
  f.setFixedPitch(true);
  f.setStyleHint(QFont::TypeWriter);
  return f;
}

QColor CaptionTextColour(const QWidget& w) {
  return w.palette().color(QPalette::Active, QPalette::HighlightedText);
}

QIcon MainIcon() {
  // The drawing the desktop menu shows (built in from data/icons).
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    icon.addFile(QString(":/icons/hicolor/%1x%1/apps/brimlode.png").arg(size), QSize(size, size));
  }
  return icon;
}
QIcon AboutIcon() { return DrawIcon(QColor(0x5A, 0x8C, 0xC8), QColor(0x00, 0x00, 0x80)); }

}  // namespace brim::qt
