#include "qt/settings.h"

namespace brim::qt {

std::unique_ptr<QSettings> OpenSettings() {
  return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, "brimlode", "brimlode");
}

}  // namespace brim::qt
