#include "qt/brimlode_app.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QTreeView>
#include <QUrl>

#include "base/ui_texts.h"
#include "qt/look.h"
#include "qt/settings.h"

namespace brim::qt {

namespace {

// "参照": archives first, all files besides; it opens in the last folder
// chosen from.
QString ChooseArchive(QWidget* parent) {
  auto settings = OpenSettings();
  const QString folder = settings->value("browse/folder").toString();
  const QString filters = Display(Ui().archiveFilter) + ";;" + Display(Ui().allFilesFilter);
  QFileDialog dialog(parent, QString(), folder, filters);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  // Qt's own dialog cuts sizes, types and dates short at its first size;
  // the desktop's native dialog, where there is one, ignores both.
  dialog.resize(760, 460);
  if (auto* details = dialog.findChild<QTreeView*>("treeView")) {
    details->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    details->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  const QString chosen = dialog.selectedFiles().front();
  settings->setValue("browse/folder", QFileInfo(chosen).absolutePath());
  return chosen;
}

}  // namespace

BrimlodeApp::BrimlodeApp() {
  desktop.chooseFile = ChooseArchive;
  desktop.Attach(
      &mainWindow, [this] { mainWindow.SyncViews(); }, [this] { aboutWindow.ShowOnce(); });
}

void BrimlodeApp::OpenFile(const QString& path) {
  if (path.isEmpty()) return;
  const std::string native = QFile::encodeName(path).toStdString();
  mainWindow.Run([&] { form.DropFiles({native}); });
  mainWindow.Run(&TForm1::Zip1Click);
}

QString FileArgument(const QStringList& arguments) {
  bool optionsEnded = false;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    if (!optionsEnded && a == "--") {
      optionsEnded = true;
      continue;
    }
    if (!optionsEnded && a.startsWith('-')) continue;
    const QUrl url(a);
    const QString path = url.isLocalFile() ? url.toLocalFile() : a;
    return QFileInfo(path).absoluteFilePath();
  }
  return {};
}

void InstallQtTranslations(QCoreApplication& application) {
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  auto* qt = new QTranslator(&application);
  if (qt->load(QLocale(QLocale::Japanese, QLocale::Japan), "qtbase", "_", folder)) {
    QCoreApplication::installTranslator(qt);
  }
}

}  // namespace brim::qt
