#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <csignal>
#include <cstdio>

#include "base/cp932.h"
#include "base/ui_texts.h"
#include "qt/brimlode_app.h"
#include "qt/look.h"

namespace {

// --screenshot FILE [ARCHIVE]: shows the window (with ARCHIVE selected and
// analysed), saves a picture of it to FILE and quits. For the docs.
void ScheduleScreenshot(brim::qt::BrimlodeApp& app, QString file, QString archive) {
  QTimer::singleShot(200, &app.mainWindow, [&app, archive] {
    if (archive.isEmpty()) return;
    app.mainWindow.Run([&] { app.form.DropFiles({archive.toStdString()}); });
    app.mainWindow.Run(&brim::TForm1::Zip1Click);
  });
  QTimer::singleShot(800, &app.mainWindow, [&app, file] {
    QPixmap shot;
    if (QScreen* screen = app.mainWindow.screen()) {
      const QRect r = app.mainWindow.frameGeometry();
      shot = screen->grabWindow(0, r.x(), r.y(), r.width(), r.height());
    }
    if (shot.isNull()) shot = app.mainWindow.grab();
    shot.save(file);
    QApplication::quit();
  });
}

}  // namespace

int main(int argc, char** argv) {
  // A file grown past its limit (ulimit -f) is a failed write shown in the
  // error box, its output removed, not the end of the program.
  std::signal(SIGXFSZ, SIG_IGN);
  // Answered before the application object, which would need a display.
  QStringList words;
  for (int i = 0; i < argc; ++i) words << QString::fromLocal8Bit(argv[i]);
  if (const auto text = brim::qt::InformationRequested(words)) {
    std::fputs(text->toUtf8().constData(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromStdString(brim::Cp932ToUtf8(brim::Ui().appTitle)));
  // The desktop entry's name: lets the window manager match the window to
  // its menu entry and icon.
  QGuiApplication::setDesktopFileName("brimlode");
  brim::qt::InstallFontFallbacks();
  brim::qt::InstallQtTranslations(application);

  brim::qt::BrimlodeApp app;
  app.mainWindow.show();

  const QStringList args = QApplication::arguments();
  const qsizetype at = args.indexOf("--screenshot");
  if (at >= 0 && at + 1 < args.size()) {
    ScheduleScreenshot(app, args[at + 1], at + 2 < args.size() ? args[at + 2] : QString());
  } else if (const QString file = brim::qt::FileArgument(args); !file.isEmpty()) {
    // Once the window is up, so the analysis shows its progress.
    QTimer::singleShot(0, &app.mainWindow, [&app, file] { app.OpenFile(file); });
  }
  return application.exec();
}
