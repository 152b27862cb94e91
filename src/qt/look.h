// What both windows share in looks: fonts, colours, icons, and turning the
// core's CP932 bytes into text Qt can show.
#pragma once
#include <QColor>
#include <QFont>
#include <QIcon>
#include <QString>
#include <string>
#include <string_view>

class QWidget;

namespace brim::qt {

// CP932 bytes as display text. Bytes that are not CP932 show as U+FFFD; the
// core keeps the raw bytes, so nothing is lost by showing them.
QString Display(std::string_view cp932);
// The same for one line of the log pane: a line break inside the text would
// split one logical line into two blocks, so breaks show as U+FFFD.
QString DisplayLine(std::string_view cp932);

// Registers installed Japanese fonts as stand-ins for the Windows ones, so the
// windows ask for the Windows font by name and still get Japanese glyphs.
void InstallFontFallbacks();
// "ＭＳ Ｐゴシック" at px pixels: the font of both windows.
QFont WindowFont(int px = 12);
// "ＭＳ ゴシック" at 12 pixels, fixed pitch: the log pane.
QFont LogFont();

// The system colour for caption text: the text drawn on a highlighted
// (title-like) background.
QColor CaptionTextColour(const QWidget& w);

QIcon MainIcon();
QIcon AboutIcon();

}  // namespace brim::qt
