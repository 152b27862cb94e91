#include "qt/brimlode_app.h"

namespace brim::qt {

BrimlodeApp::BrimlodeApp() {
  desktop.Attach(
      &mainWindow, [this] { mainWindow.SyncViews(); }, [this] { aboutWindow.ShowOnce(); });
}

}  // namespace brim::qt
