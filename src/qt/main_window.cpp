#include "qt/main_window.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>
#include <QWindow>

#include "app/application.h"
#include "base/ui_texts.h"
#include "qt/list_model.h"
#include "qt/log_view.h"
#include "qt/look.h"

namespace brim::qt {

namespace {

constexpr int kWidth = 868, kHeight = 527;

// The local paths among the dropped URLs, in their order.
std::vector<std::string> LocalPaths(const QMimeData* mime) {
  std::vector<std::string> paths;
  if (!mime || !mime->hasUrls()) return paths;
  for (const QUrl& url : mime->urls()) {
    if (url.isLocalFile()) paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
  }
  return paths;
}

QPushButton* Button(const char* name, const std::string& caption, int w, int h, QWidget* parent) {
  auto* b = new QPushButton(Display(caption), parent);
  b->setObjectName(name);
  b->setFixedSize(w, h);
  b->setAutoDefault(false);
  return b;
}

}  // namespace

MainWindow::MainWindow(TForm1& form, Desktop& desktop)
    : form_(form), desktop_(desktop), s_(form.state) {
  setObjectName("Form1");
  setWindowTitle(Display(Ui().appTitle));
  setWindowIcon(MainIcon());
  setFont(WindowFont());
  // Menus and message boxes are windows of their own; let them take the font.
  setAttribute(Qt::WA_WindowPropagation);

  model2_ = new ListViewModel(s_.ListView2,
                              {{Ui().colFileName, 300, Qt::AlignLeft},
                               {Ui().colRatio, 40, Qt::AlignRight},
                               {Ui().colCompress, 70, Qt::AlignRight},
                               {Ui().colOriginal, 70, Qt::AlignRight},
                               {Ui().colPath, 120, Qt::AlignLeft}},
                              false, this);
  model5_ = new ListViewModel(s_.ListView5, {{Ui().colExtension, 65, Qt::AlignLeft}, {Ui().colCount, 30, Qt::AlignLeft}},
                              true, this);

  auto* central = new QWidget(this);
  auto* outer = new QVBoxLayout(central);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  outer->addWidget(BuildPanel2());

  splitter1_ = new QSplitter(Qt::Vertical, central);
  splitter1_->setObjectName("Splitter1");
  splitter1_->setHandleWidth(5);
  splitter1_->setChildrenCollapsible(false);  // no snapping

  auto* upper = new QWidget(splitter1_);
  auto* upperLayout = new QHBoxLayout(upper);
  upperLayout->setContentsMargins(0, 0, 0, 0);
  upperLayout->setSpacing(0);
  QTableView* listView2 = BuildListView("ListView2", model2_);
  listView2->setEditTriggers(QAbstractItemView::NoEditTriggers);
  listView2->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  upperLayout->addWidget(listView2, 1);
  upperLayout->addWidget(BuildPanel1());
  upper->setMinimumHeight(5);

  memo1_ = new LogView(s_.Memo1, splitter1_);
  memo1_->setObjectName("Memo1");
  memo1_->setMinimumHeight(5);

  splitter1_->addWidget(upper);
  splitter1_->addWidget(memo1_);
  splitter1_->setStretchFactor(0, 1);
  splitter1_->setStretchFactor(1, 0);
  outer->addWidget(splitter1_, 1);
  setCentralWidget(central);

  BuildMenu();
  BuildStatusBar();

  resize(kWidth, kHeight);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect r(QPoint(), QSize(kWidth, kHeight));
    r.moveCenter(screen->availableGeometry().center());
    move(r.topLeft());
  }

  form_.FormCreate();
  setAcceptDrops(true);
  SyncViews();
}

QWidget* MainWindow::BuildPanel2() {
  auto* panel2 = new QWidget(this);
  panel2->setObjectName("Panel2");
  panel2->setFixedHeight(41);
  auto* row = new QHBoxLayout(panel2);
  row->setContentsMargins(8, 0, 8, 0);
  row->setSpacing(6);

  label1_ = new QLabel(panel2);
  label1_->setObjectName("Label1");
  label1_->setFixedSize(505, 17);
  label1_->setTextFormat(Qt::PlainText);
  label1_->setAutoFillBackground(true);
  QPalette p = label1_->palette();
  p.setColor(QPalette::Window, CaptionTextColour(*this));
  label1_->setPalette(p);
  row->addWidget(label1_);

  QPushButton* button1 = Button("Button1", Ui().browse, 75, 25, panel2);
  connect(button1, &QPushButton::clicked, this, [this] { Run(&TForm1::Button1Click); });
  row->addWidget(button1);

  gauge1_ = new QProgressBar(panel2);
  gauge1_->setObjectName("Gauge1");
  gauge1_->setFixedSize(49, 25);
  gauge1_->setRange(0, 100);
  gauge1_->setValue(0);
  gauge1_->setAlignment(Qt::AlignCenter);
  row->addWidget(gauge1_);

  QPushButton* button3 = Button("Button3", Ui().abort, 33, 25, panel2);
  connect(button3, &QPushButton::clicked, this, [this] { Run(&TForm1::Button3Click); });
  row->addWidget(button3);
  row->addStretch(1);
  return panel2;
}

QWidget* MainWindow::BuildPanel1() {
  auto* panel1 = new QWidget(this);
  panel1->setObjectName("Panel1");
  panel1->setFixedWidth(150);
  auto* column = new QVBoxLayout(panel1);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  // Label2 is the heading; Button2 sits over its lower part.
  auto* heading = new QWidget(panel1);
  heading->setFixedHeight(48);
  auto* label2 = new QLabel(Display(Ui().containedExtensions), heading);
  label2->setObjectName("Label2");
  label2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  label2->setGeometry(0, 4, 150, 48 - 4);
  label2->setFixedHeight(48 - 4);
  QPushButton* button2 = Button("Button2", Ui().reflectToList, 137, 25, heading);
  button2->move((150 - 137) / 2, 48 - 25 - 2);
  button2->raise();
  connect(button2, &QPushButton::clicked, this, [this] { Run(&TForm1::N8Click); });
  column->addWidget(heading);

  QTableView* listView5 = BuildListView("ListView5", model5_);
  listView5->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                             QAbstractItemView::EditKeyPressed);
  listView5->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  column->addWidget(listView5, 1);
  return panel1;
}

QTableView* MainWindow::BuildListView(const char* name, ListViewModel* model) {
  auto* view = new QTableView(this);
  view->setObjectName(name);
  view->setModel(model);
  view->setShowGrid(true);
  view->setWordWrap(false);
  view->setSortingEnabled(false);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setTabKeyNavigation(false);
  view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  QHeaderView* rows = view->verticalHeader();
  rows->hide();
  // Fixed row heights keep a listing of tens of thousands of rows cheap.
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(view->fontMetrics().height() + 4);
  QHeaderView* header = view->horizontalHeader();
  header->setSectionsClickable(false);
  header->setHighlightSections(false);
  header->setStretchLastSection(false);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  for (int c = 0; c < static_cast<int>(model->Columns().size()); ++c) {
    header->resizeSection(c, model->Columns()[c].width);
  }
  return view;
}

void MainWindow::BuildMenu() {
  QMenuBar* bar = menuBar();
  bar->setObjectName("MainMenu1");
  auto item = [this](QWidget* menu, const char* name, const std::string& caption, void (TForm1::*handler)()) {
    auto* action = new QAction(Display(caption), menu);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, [this, handler] { Run(handler); });
    menu->addAction(action);
    return action;
  };
  auto submenu = [bar](const char* name, const std::string& caption) {
    QMenu* menu = bar->addMenu(Display(caption));
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    return menu;
  };

  item(bar, "Zip1", Ui().menuAnalyse, &TForm1::Zip1Click);
  QMenu* n1 = submenu("N1", Ui().menuCheckMarks);
  item(n1, "N8", Ui().menuCheckByExtension, &TForm1::N8Click);
  n1->addSeparator()->setObjectName("N12");
  item(n1, "N9", Ui().menuCheckAll, &TForm1::N9Click);
  item(n1, "N10", Ui().menuUncheckAll, &TForm1::N10Click);
  item(n1, "N11", Ui().menuInvertChecks, &TForm1::N11Click);
  item(bar, "N2", Ui().menuRewrite, &TForm1::N2Click);
  QMenu* n5 = submenu("N5", Ui().menuRegenerate);
  item(n5, "N6", Ui().menuSplit, &TForm1::N6Click);
  item(n5, "N7", Ui().menuCombine, &TForm1::N7Click);
  QMenu* n3 = submenu("N3", Ui().menuLog);
  item(n3, "N4", Ui().menuLogWrite, &TForm1::N4Click);
  item(n3, "kuria1", Ui().menuLogClear, &TForm1::kuria1Click);
  item(bar, "About1", Ui().menuAbout, &TForm1::About1Click);
}

void MainWindow::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName("StatusBar1");
  for (size_t i = 0; i < StatusBar::kPanels; ++i) {
    auto* panel = new QLabel(bar);
    panel->setObjectName(QString("StatusBar1Panel%1").arg(i));
    panel->setFixedWidth(200);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setTextFormat(Qt::PlainText);
    bar->addWidget(panel);
    panels_[i] = panel;
  }
}

void MainWindow::SyncViews() {
  if (s_.Label1.Revision() != labelRevision_) {
    label1_->setText(QFile::decodeName(QByteArray::fromStdString(s_.Label1.Caption())));
    labelRevision_ = s_.Label1.Revision();
  }
  if (s_.Gauge1.Revision() != gaugeRevision_) {
    gauge1_->setValue(s_.Gauge1.Progress());
    gaugeRevision_ = s_.Gauge1.Revision();
  }
  if (s_.StatusBar1.Revision() != statusRevision_) {
    for (size_t i = 0; i < StatusBar::kPanels; ++i) panels_[i]->setText(Display(s_.StatusBar1.Panel(i)));
    statusRevision_ = s_.StatusBar1.Revision();
  }
  model2_->Sync();
  model5_->Sync();
  memo1_->Sync();
}

void MainWindow::Run(void (TForm1::*handler)()) {
  Run([&] { (form_.*handler)(); });
}

void MainWindow::Run(const std::function<void()>& command) {
  ++running_;
  RunCommand(desktop_, command);
  --running_;
  SyncViews();
  if (closePending_ && running_ == 0) {
    closePending_ = false;
    close();
  }
}

void MainWindow::showEvent(QShowEvent* e) {
  QMainWindow::showEvent(e);
  if (shownOnce_) return;
  shownOnce_ = true;
  // 868 x 527 is the outer size: take the frame off where the platform
  // already knows it (with no frame, as under Xvfb, nothing changes).
  if (QWindow* w = windowHandle()) {
    const QMargins m = w->frameMargins();
    if (!m.isNull()) {
      resize(kWidth - m.left() - m.right(), kHeight - m.top() - m.bottom());
      if (QScreen* screen = w->screen()) {
        QRect r(QPoint(), QSize(kWidth, kHeight));
        r.moveCenter(screen->availableGeometry().center());
        move(r.topLeft());
      }
    }
  }
}

void MainWindow::closeEvent(QCloseEvent* e) {
  if (running_ > 0 || form_.Busy()) {
    // Ask the running command to stop; the window closes once it returned.
    e->ignore();
    closePending_ = true;
    form_.Button3Click();
    return;
  }
  QMainWindow::closeEvent(e);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* e) {
  if (!LocalPaths(e->mimeData()).empty()) e->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* e) {
  if (!LocalPaths(e->mimeData()).empty()) e->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* e) {
  std::vector<std::string> paths = LocalPaths(e->mimeData());
  if (paths.empty()) return;
  e->acceptProposedAction();
  // The handler takes the first path whole; a long path is not cut.
  Run([&] { form_.DropFiles(paths); });
}

}  // namespace brim::qt
