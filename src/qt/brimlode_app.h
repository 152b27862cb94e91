// The application object of the window: the desktop, the core's main form
// and the two windows, wired together. Build it after the QApplication.
#pragma once
#include "form/Unit1.h"
#include "qt/about_window.h"
#include "qt/main_window.h"
#include "qt/qt_desktop.h"

namespace brim::qt {

class BrimlodeApp {
 public:
  BrimlodeApp();
  BrimlodeApp(const BrimlodeApp&) = delete;
  BrimlodeApp& operator=(const BrimlodeApp&) = delete;

  QtDesktop desktop;
  TForm1 form{desktop};
  MainWindow mainWindow{form, desktop};
  // Its own top-level window, like the main one, so it can go behind it.
  AboutWindow aboutWindow{desktop, &mainWindow};
};

}  // namespace brim::qt
