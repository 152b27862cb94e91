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

#include "base/cp932.h"
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

namespace {
// The file types Qt's own file dialog shows for folders and drives: Qt 6
// asks for them under a context its Japanese catalogue does not have yet,
// so "Folder" stayed English.
class FileTypeTranslator : public QTranslator {
 public:
  using QTranslator::QTranslator;
  bool isEmpty() const override { return false; }
  QString translate(const char* context, const char* source, const char* = nullptr, int = -1) const override {
    if (qstrcmp(context, "QAbstractFileIconProvider") != 0) return {};
    if (qstrcmp(source, "Folder") == 0 || qstrcmp(source, "File Folder") == 0) return Display(Ui().fileTypeFolder);
    if (qstrcmp(source, "Drive") == 0) return Display(Ui().fileTypeDrive);
    if (qstrcmp(source, "File") == 0) return Display(Ui().fileTypeFile);
    return {};
  }
};
}  // namespace

void InstallQtTranslations(QCoreApplication& application) {
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  auto* qt = new QTranslator(&application);
  if (qt->load(QLocale(QLocale::Japanese, QLocale::Japan), "qtbase", "_", folder)) {
    QCoreApplication::installTranslator(qt);
  }
  QCoreApplication::installTranslator(new FileTypeTranslator(&application));
}

std::optional<QString> InformationRequested(const QStringList& arguments) {
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    if (a == "--") break;
    if (a == "--version" || a == "-v") {
      return QString::fromStdString(Cp932ToUtf8(Ui().aboutVersion)) + "\n";
    }
    if (a == "--help" || a == "-h") {
      return QStringLiteral(
          "Usage: brimlode [FILE]\n"
          "       brimlode --screenshot PICTURE [ARCHIVE]\n"
          "\n"
          "Opens the Brimlode window. With FILE (a path or a file: URL), selects\n"
          "it and runs \"解析\" at once.\n"
          "\n"
          "  --screenshot PICTURE [ARCHIVE]  show the window (with ARCHIVE analysed),\n"
          "                                  save a picture of it and quit\n"
          "  -h, --help                      print this help and exit\n"
          "  -v, --version                   print the version and exit\n"
          "\n"
          "brimlode-cli runs the same commands without a window.\n");
    }
  }
  return std::nullopt;
}

}  // namespace brim::qt
