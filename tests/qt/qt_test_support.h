// Shared by the window tests: a fresh application object per test with a
// desktop whose boxes, dialog and browser are scripted, never shown.
#pragma once
#include <QAction>
#include <QLabel>
#include <QMessageBox>
#include <QObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <memory>
#include <vector>

#include "qt/brimlode_app.h"
#include "qt/look.h"
#include "qt/settings.h"
#include "support/table_rows.h"
#include "support/test_files.h"

namespace brim::test {

// CP932 bytes as the window shows them.
inline QString Q(const std::string& cp932) { return qt::Display(cp932); }

struct Box {
  QString objectName, title, text;
  QMessageBox::Icon icon;
  QStringList buttons;
  QString defaultButton, escapeButton;
};

// What the scripted desktop saw, and what it answers.
struct Script {
  std::vector<Box> boxes;
  // Runs on each box after it is recorded; by default clicks its first
  // button. The box is not shown unless the action shows it.
  std::function<void(QMessageBox&)> answer;
  std::vector<QWidget*> dialogParents;
  QString chosenFile;  // empty: the dialog is cancelled
  std::vector<QUrl> openedUrls;
};

// firstRun: forget what an earlier window remembered.
inline std::unique_ptr<qt::BrimlodeApp> MakeApp(Script& script, bool firstRun = true) {
  if (firstRun) qt::OpenSettings()->clear();
  auto app = std::make_unique<qt::BrimlodeApp>();
  app->desktop.runBox = [&script](QMessageBox& box) {
    Box b{box.objectName(), box.windowTitle(), box.text(), box.icon(), {}, {}, {}};
    for (QAbstractButton* button : box.buttons()) b.buttons << button->text();
    if (box.defaultButton()) b.defaultButton = box.defaultButton()->text();
    if (box.escapeButton()) b.escapeButton = box.escapeButton()->text();
    script.boxes.push_back(b);
    if (script.answer) {
      script.answer(box);
    } else if (!box.buttons().isEmpty()) {
      box.buttons().front()->click();
    }
  };
  app->desktop.chooseFile = [&script](QWidget* parent) {
    script.dialogParents.push_back(parent);
    return script.chosenFile;
  };
  app->desktop.openUrl = [&script](const QUrl& url) { script.openedUrls.push_back(url); };
  return app;
}

// What every window suite holds: a fresh application per test with the
// scripted desktop, a temporary folder, and the window's controls by name.
// A suite's init() slot calls Start() and its cleanup() slot Stop().
class WindowFixture : public QObject {
 protected:
  Script script_;
  std::unique_ptr<qt::BrimlodeApp> app_;
  std::unique_ptr<TempDir> dir_;

  void Start() {
    script_ = {};
    app_ = MakeApp(script_);
    dir_ = std::make_unique<TempDir>();
  }
  void Stop() {
    app_.reset();
    dir_.reset();
  }
  qt::MainWindow& W() { return app_->mainWindow; }
  ProgramState& S() { return app_->form.state; }
  QAction* Action(const char* name) { return W().findChild<QAction*>(name); }
  QString Panel(int i) {
    auto* panel = W().findChild<QLabel*>(qPrintable(QString("StatusBar1Panel%1").arg(i)));
    if (!panel) qWarning("no status panel %d", i);
    return panel ? panel->text() : QString();
  }
  QString Log() { return W().findChild<QPlainTextEdit*>("Memo1")->toPlainText(); }
};

}  // namespace brim::test
