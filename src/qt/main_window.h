// Form1, the main window: the controls of the core's program state on
// screen, the menu, and the drop target. Every action runs its TForm1
// handler through RunCommand, then brings the views in step.
#pragma once
#include <QMainWindow>
#include <functional>

#include "form/Unit1.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTableView;

namespace brim::qt {

class ListViewModel;
class LogView;

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  MainWindow(TForm1& form, Desktop& desktop);

  // Shows what changed in the core since the last sync.
  void SyncViews();
  // Runs one handler as a command: a failure shows the error box, and the
  // views are synced when it returns (also after a failure).
  void Run(void (TForm1::*handler)());
  void Run(const std::function<void()>& command);

  ListViewModel& ListView2Model() { return *model2_; }
  ListViewModel& ListView5Model() { return *model5_; }

 protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dragMoveEvent(QDragMoveEvent* e) override;
  void dropEvent(QDropEvent* e) override;

 private:
  QWidget* BuildPanel2();
  QWidget* BuildPanel1();
  QTableView* BuildListView(const char* name, ListViewModel* model);
  void BuildMenu();
  void BuildStatusBar();

  TForm1& form_;
  Desktop& desktop_;
  ProgramState& s_;

  QLabel* label1_ = nullptr;
  QProgressBar* gauge1_ = nullptr;
  QLabel* panels_[StatusBar::kPanels] = {};
  ListViewModel* model2_ = nullptr;
  ListViewModel* model5_ = nullptr;
  LogView* memo1_ = nullptr;
  QSplitter* splitter1_ = nullptr;

  uint64_t labelRevision_ = UINT64_MAX;
  uint64_t gaugeRevision_ = UINT64_MAX;
  uint64_t statusRevision_ = UINT64_MAX;
  int running_ = 0;          // commands on the stack (a pump may start another)
  bool closePending_ = false;
  bool shownOnce_ = false;
};

}  // namespace brim::qt
