#include "qt/qt_desktop.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QSpacerItem>
#include <QPushButton>

#include "base/cp932.h"
#include "base/ui_texts.h"
#include "qt/look.h"
#include "qt/open_url.h"

namespace brim::qt {

namespace {
// A box as narrow as a short text would cut its own title in the window
// frame ("Bri… ode"): give the frame room for the title and its buttons.
void RoomForTitle(QMessageBox& box) {
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (!grid) return;
  const int wanted = box.fontMetrics().horizontalAdvance(box.windowTitle()) + kTitleBarExtra;
  grid->addItem(new QSpacerItem(wanted, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                grid->columnCount());
}
}  // namespace

QtDesktop::QtDesktop() {
  runBox = [](QMessageBox& box) { box.exec(); };
  chooseFile = [](QWidget* parent) { return QFileDialog::getOpenFileName(parent); };
  openUrl = [this](const QUrl& url) {
    const std::string address = Utf8ToCp932(url.toString().toStdString());
    OpenInBrowser(url, mainWindow_, [this, address] { ShowMessage(FormatText(Ui().linkCannotOpen, address)); });
  };
}

void QtDesktop::Attach(QWidget* mainWindow, std::function<void()> syncViews, std::function<void()> showAbout) {
  mainWindow_ = mainWindow;
  syncViews_ = std::move(syncViews);
  showAbout_ = std::move(showAbout);
}

void QtDesktop::ProcessMessages() {
  // Views first, so what the command changed is painted in this very pump;
  // a command the user starts meanwhile syncs again when it returns.
  if (syncViews_) syncViews_();
  QCoreApplication::processEvents();
}

void QtDesktop::ShowMessage(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, Display(Ui().appTitle), Display(text), QMessageBox::NoButton, mainWindow_);
  box.setObjectName("MessageBox");
  box.addButton(Display(Ui().buttonOk), QMessageBox::AcceptRole);
  RoomForTitle(box);
  runBox(box);
}

Answer QtDesktop::AskYesNo(const std::string& text) {
  QMessageBox box(QMessageBox::Question, Display(Ui().questionTitle), Display(text), QMessageBox::NoButton,
                  mainWindow_);
  box.setObjectName("QuestionBox");
  QPushButton* yes = box.addButton(Display(Ui().buttonYes), QMessageBox::YesRole);
  QPushButton* no = box.addButton(Display(Ui().buttonNo), QMessageBox::NoRole);
  box.setDefaultButton(yes);
  box.setEscapeButton(no);
  RoomForTitle(box);
  // Esc clicks the No button; closing the box from its frame clicks nothing,
  // which is the "closed" answer.
  QAbstractButton* clicked = nullptr;
  QObject::connect(&box, &QMessageBox::buttonClicked, &box, [&clicked](QAbstractButton* b) { clicked = b; });
  runBox(box);
  if (clicked == yes) return Answer::Yes;
  if (clicked == no) return Answer::No;
  return Answer::Closed;
}

void QtDesktop::ShowError(const std::string& text) {
  QMessageBox box(QMessageBox::Critical, Display(Ui().appTitle), Display(text), QMessageBox::NoButton, mainWindow_);
  box.setObjectName("ErrorBox");
  box.addButton(Display(Ui().buttonOk), QMessageBox::AcceptRole);
  RoomForTitle(box);
  runBox(box);
}

std::optional<std::string> QtDesktop::ChooseFile() {
  QString chosen = chooseFile(mainWindow_);
  if (chosen.isEmpty()) return std::nullopt;
  return QFile::encodeName(chosen).toStdString();
}

void QtDesktop::OpenUrl(const std::string& address) {
  openUrl(QUrl(QString::fromStdString(address), QUrl::TolerantMode));
}

void QtDesktop::ShowAbout() {
  if (showAbout_) showAbout_();
}

}  // namespace brim::qt
