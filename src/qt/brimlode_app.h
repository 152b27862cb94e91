// The application object of the window: the desktop, the core's main form
// and the two windows, wired together. Build it after the QApplication.
#pragma once
#include <QString>
#include <QStringList>
#include <optional>

#include "form/Unit1.h"
#include "qt/about_window.h"
#include "qt/main_window.h"
#include "qt/qt_desktop.h"

class QCoreApplication;

namespace brim::qt {

class BrimlodeApp {
 public:
  BrimlodeApp();
  BrimlodeApp(const BrimlodeApp&) = delete;
  BrimlodeApp& operator=(const BrimlodeApp&) = delete;

  // "brimlode FILE", "Open with" and a double click in a file manager:
  // selects the file as a drop would and runs "解析".
  void OpenFile(const QString& path);

  QtDesktop desktop;
  TForm1 form{desktop};
  MainWindow mainWindow{form, desktop};
  // Its own top-level window, like the main one, so it can go behind it.
  AboutWindow aboutWindow{desktop, &mainWindow};
};

// The file named on the command line (a path or a file: URL, made absolute),
// or an empty text. Options are skipped; after "--" every word is a file.
QString FileArgument(const QStringList& arguments);

// Qt's own dialogs and context menus in Japanese whatever the system locale:
// the window around them is Japanese, and a mix would read worse.
void InstallQtTranslations(QCoreApplication& application);

// The text "brimlode --help" or "--version" prints before any window or
// display is needed; nothing for any other arguments.
std::optional<QString> InformationRequested(const QStringList& arguments);

}  // namespace brim::qt
