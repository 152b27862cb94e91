// Form1, the main window: the controls of the core's program state on
// screen, the menu, and the drop target. Every action runs its TForm1
// handler through RunCommand, then brings the views in step.
#pragma once
#include <QMainWindow>
#include <functional>
#include <memory>
#include <vector>

#include "form/Unit1.h"

class QAbstractItemModel;
class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTableView;

namespace brim::qt {

class ListingProxy;
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
  // The listing as the view shows it: sorted and filtered.
  ListingProxy& Listing() { return *listing_; }

  // On a screen narrower than the window (a high-DPI screen), the path
  // field gives way so the whole window fits in area.
  void FitPathToScreen(const QRect& area);

  // The menu a right click on archive row `row` opens.
  std::unique_ptr<QMenu> RowMenu(size_t row);

  // Keeps the window's place and size, the splitter and the column widths
  // for the next run (done when the window closes).
  void SaveSettings() const;

 protected:
  void showEvent(QShowEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dragMoveEvent(QDragMoveEvent* e) override;
  void dropEvent(QDropEvent* e) override;

 private:
  QWidget* BuildPanel2();
  QWidget* BuildPanel1();
  QWidget* BuildListing();
  QTableView* BuildListView(const char* name, QAbstractItemModel* shown, ListViewModel* model);
  // A header click: by that column, reversed, then the archive's order.
  void SortClicked(int column);
  // Runs a command that may select another file (参照, a drop), and "解析"
  // after it when the user asked for that.
  void Select(const std::function<void()>& command);
  // What the window shows beside the models' own views: the title, the
  // listing's summary and whose file the listing is.
  void ShowSummary();
  void ShowWhoseListing();

  void BuildMenu();
  // "最近使ったファイル", filled each time it opens; a file gone since is
  // taken off the list with a message.
  void FillRecentMenu();
  void OpenRecent(const QString& path);
  void BuildShortcuts();
  void BuildStatusBar();
  void RestoreSettings();
  // The first place and size: remembered or centred, within the screen.
  void FitFirstPlace();

  // A list view whose columns start at their set widths and grow to fit the
  // widest value shown, so no value is cut. The user's drags set the widths.
  struct FittedView {
    QTableView* view = nullptr;
    ListViewModel* model = nullptr;  // the core's table, whatever the view shows
    const char* key = "";
    std::vector<int> widths;  // the start widths
    int rows = 0;
  };
  void TrackColumns(FittedView& f);
  void FitColumns(FittedView& f);

  TForm1& form_;
  Desktop& desktop_;
  ProgramState& s_;

  QLabel* label1_ = nullptr;
  QProgressBar* gauge1_ = nullptr;
  QLabel* panels_[StatusBar::kPanels] = {};
  ListViewModel* model2_ = nullptr;
  ListViewModel* model5_ = nullptr;
  ListingProxy* listing_ = nullptr;
  QLineEdit* filter_ = nullptr;
  QLabel* whoseListing_ = nullptr;
  QLabel* summary_ = nullptr;
  QAction* analyseOnSelect_ = nullptr;
  LogView* memo1_ = nullptr;
  QSplitter* splitter1_ = nullptr;
  QAction* abortAction_ = nullptr;
  QMenu* recentMenu_ = nullptr;
  FittedView fit2_, fit5_;
  bool fitting_ = false;  // resizing columns ourselves, not the user
  bool restoredPlace_ = false;
  bool restoredMaximized_ = false;
  bool frameAwaited_ = false;

  uint64_t labelRevision_ = UINT64_MAX;
  uint64_t gaugeRevision_ = UINT64_MAX;
  uint64_t statusRevision_ = UINT64_MAX;
  uint64_t summaryRevision_ = UINT64_MAX;
  int running_ = 0;          // commands on the stack (a pump may start another)
  bool closePending_ = false;
  bool shownOnce_ = false;
};

}  // namespace brim::qt
