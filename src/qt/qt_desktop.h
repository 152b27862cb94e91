// The Desktop the commands talk to, with real Qt widgets. The parts that
// would block a test (a modal loop, the file dialog, the web browser) go
// through replaceable hooks; everything else, the boxes' titles, icons and
// buttons included, is the real thing.
#pragma once
#include <QMessageBox>
#include <QString>
#include <QUrl>
#include <functional>

#include "app/desktop.h"

class QWidget;

namespace brim::qt {

// What a window frame needs beside its title: icon, the close, maximise and
// minimise buttons and padding, with some to spare for larger frame fonts.
inline constexpr int kTitleBarExtra = 160;

class QtDesktop : public Desktop {
 public:
  QtDesktop();

  // Runs a box built by ShowMessage, AskYesNo or ShowError until the user
  // answers it. Default: box.exec(). A test may press its buttons instead.
  std::function<void(QMessageBox& box)> runBox;
  // The open-file dialog; an empty text for a cancel. Default: the Qt dialog.
  std::function<QString(QWidget* parent)> chooseFile;
  // The shell's "open". Default: QDesktopServices::openUrl.
  std::function<void(const QUrl& url)> openUrl;

  // The windows this desktop serves: the parent of its boxes, the views
  // synced at each pump, the About window.
  void Attach(QWidget* mainWindow, std::function<void()> syncViews, std::function<void()> showAbout);

  void ProcessMessages() override;
  void ShowMessage(const std::string& text) override;
  Answer AskYesNo(const std::string& text) override;
  void ShowError(const std::string& text) override;
  std::optional<std::string> ChooseFile() override;
  void OpenUrl(const std::string& address) override;
  void ShowAbout() override;

 private:
  QWidget* mainWindow_ = nullptr;
  std::function<void()> syncViews_;
  std::function<void()> showAbout_;
};

}  // namespace brim::qt
