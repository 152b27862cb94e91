// What the window remembers between runs (the last folder of "参照", the
// window's place and size, the splitter, the column widths), kept in
// ~/.config/brimlode/brimlode.conf. Tests point QSettings at a folder of
// their own before any window exists.
#pragma once
#include <QSettings>
#include <memory>

namespace brim::qt {

std::unique_ptr<QSettings> OpenSettings();

}  // namespace brim::qt
