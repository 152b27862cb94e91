#include "qt/main_window.h"

#include <climits>

#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>
#include <QWindow>

#include "app/application.h"
#include "app/dangerous_extensions.h"
#include "base/cp932.h"
#include "base/ui_texts.h"
#include "qt/list_model.h"
#include "qt/listing_proxy.h"
#include "qt/log_view.h"
#include "qt/look.h"
#include "qt/recent_files.h"
#include "qt/row_marks.h"
#include "qt/settings.h"

namespace brim::qt {

namespace {

constexpr int kWidth = 868, kHeight = 527;
constexpr int kPathWidth = 505;
// The least a squeezed path field and status panel keep.
constexpr int kPathMinimum = 120;
constexpr int kPanelWidth = 200, kPanelMinimum = 48;
// The room right of the "中断" button in a window of kWidth: less Panel2's
// margins (16), the path and the three controls (662) and the three gaps
// between them (18; a spacer gets none).
constexpr int kTopBarRest = kWidth - 16 - 662 - 18;

// A one-line label that asks for a width whatever its text, and shortens a
// text too long for it (the tooltip holds it whole).
class ElidedLabel : public QLabel {
 public:
  ElidedLabel(Qt::TextElideMode mode, int width, int least, QWidget* parent)
      : QLabel(parent), mode_(mode), width_(width), least_(least) {}
  QSize sizeHint() const override { return {width_, fontMetrics().height()}; }
  QSize minimumSizeHint() const override { return {least_, fontMetrics().height()}; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const QRect r = contentsRect();
    p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, fontMetrics().elidedText(text(), mode_, r.width()));
  }

 private:
  Qt::TextElideMode mode_;
  int width_, least_;
};

// Label1: a long path is shortened in the middle, so both the folder's start
// and the file name stay readable. It asks for 505 pixels whatever its text
// and takes whatever the window is wider than at first.
class PathLabel : public ElidedLabel {
 public:
  explicit PathLabel(QWidget* parent) : ElidedLabel(Qt::ElideMiddle, kPathWidth, kPathMinimum, parent) {}
  QSize sizeHint() const override { return {kPathWidth, 17}; }
};

// A status panel: 200 pixels while the window has room for them.
class StatusPanel : public QLabel {
 public:
  using QLabel::QLabel;
  QSize sizeHint() const override { return {kPanelWidth, QLabel::sizeHint().height()}; }
  QSize minimumSizeHint() const override { return {kPanelMinimum, QLabel::minimumSizeHint().height()}; }
};

// Each "%s" of format in turn replaced by the next of args (names and sizes
// that need not be CP932).
QString Fill(QString format, const QStringList& args) {
  qsizetype at = 0;
  for (const QString& a : args) {
    at = format.indexOf(QStringLiteral("%s"), at);
    if (at < 0) break;
    format.replace(at, 2, a);
    at += a.size();
  }
  return format;
}

// A size as the summary shows it: bytes, or KB, MB, GB with one decimal.
QString SizeText(uint64_t bytes) {
  if (bytes < 1024) return Fill(Display(Ui().sizeBytes), {QString::number(bytes)});
  static const char* const units[] = {"KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes) / 1024;
  int unit = 0;
  while (value >= 1024 && unit < 3) value /= 1024, ++unit;
  return QString::number(value, 'f', 1) + ' ' + units[unit];
}

// The outer rectangle moved (and if need be shrunk) into the available area.
QRect FitInside(QRect outer, const QRect& area) {
  outer.setSize(outer.size().boundedTo(area.size()));
  if (outer.right() > area.right()) outer.moveRight(area.right());
  if (outer.bottom() > area.bottom()) outer.moveBottom(area.bottom());
  if (outer.left() < area.left()) outer.moveLeft(area.left());
  if (outer.top() < area.top()) outer.moveTop(area.top());
  return outer;
}

// A menu caption with its access key, as Japanese menus show it: "解析(&A)".
QString WithMnemonic(const std::string& caption, char key) {
  return Display(caption) + "(&" + QChar(key) + ")";
}

// The dangerous-extension button's tooltip: what it does and the list.
QString DangerousToolTip() {
  QString tip = Display(Ui().dangerousTip);
  int onLine = 0;
  for (std::string_view key : DangerousExtensions()) {
    tip += onLine++ % 8 == 0 ? QStringLiteral("\n  ") : QStringLiteral(" ");
    tip += QString::fromLatin1(key.data(), static_cast<qsizetype>(key.size()));
  }
  return tip;
}

QString WithShortcuts(const std::string& caption, const QList<QKeySequence>& keys) {
  QStringList names;
  for (const QKeySequence& k : keys) names << k.toString(QKeySequence::NativeText);
  return Display(caption) + " (" + names.join(", ") + ")";
}

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
  model2_->ShowMarksOf(s_.ListView2);
  model5_ = new ListViewModel(s_.ListView5, {{Ui().colExtension, 65, Qt::AlignLeft}, {Ui().colCount, 30, Qt::AlignLeft}},
                              true, this);
  listing_ = new ListingProxy(s_.ListView2, *model2_, this);

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
  upperLayout->addWidget(BuildListing(), 1);
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
  BuildShortcuts();
  BuildStatusBar();
  TrackColumns(fit2_);
  TrackColumns(fit5_);

  resize(kWidth, kHeight);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    FitPathToScreen(screen->availableGeometry());
    QRect r = FitInside(QRect(QPoint(), QSize(kWidth, kHeight)), screen->availableGeometry());
    r.moveCenter(screen->availableGeometry().center());
    resize(r.size());
    move(r.topLeft());
  }
  RestoreSettings();

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

  label1_ = new PathLabel(panel2);
  label1_->setObjectName("Label1");
  label1_->setFixedHeight(17);
  label1_->setMinimumWidth(kPathWidth);  // less on a narrow screen (FitPathToScreen)
  label1_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  label1_->setTextFormat(Qt::PlainText);
  label1_->setAutoFillBackground(true);
  QPalette p = label1_->palette();
  p.setColor(QPalette::Window, CaptionTextColour(*this));
  label1_->setPalette(p);
  row->addWidget(label1_);

  QPushButton* button1 = Button("Button1", Ui().browse, 75, 25, panel2);
  connect(button1, &QPushButton::clicked, this, [this] { Select([this] { form_.Button1Click(); }); });
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
  // Gives way first when the window is narrower; never grows.
  row->addSpacerItem(new QSpacerItem(kTopBarRest, 0, QSizePolicy::Preferred, QSizePolicy::Minimum));
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

  QTableView* listView5 = BuildListView("ListView5", model5_, model5_);
  listView5->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                             QAbstractItemView::EditKeyPressed);
  listView5->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  fit5_.view = listView5;
  fit5_.model = model5_;
  fit5_.key = "ListView5";
  column->addWidget(listView5, 1);

  // Beside the tally: one click ticks every entry whose extension runs code
  // or mounts on Windows.
  auto* dangerousRow = new QWidget(panel1);
  dangerousRow->setFixedHeight(29);
  QPushButton* dangerous = Button("DangerousButton", Ui().dangerousExtensions, 137, 25, dangerousRow);
  dangerous->move((150 - 137) / 2, 2);
  dangerous->setToolTip(DangerousToolTip());
  connect(dangerous, &QPushButton::clicked, this, [this] { Run(&TForm1::DangerousClick); });
  column->addWidget(dangerousRow);
  return panel1;
}

QWidget* MainWindow::BuildListing() {
  auto* column = new QWidget(this);
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  // Above the list: whose listing it is, once another file was chosen, and
  // the filter.
  auto* row = new QWidget(column);
  row->setObjectName("FilterRow");
  auto* rowLayout = new QHBoxLayout(row);
  rowLayout->setContentsMargins(4, 2, 2, 2);
  rowLayout->setSpacing(6);
  whoseListing_ = new ElidedLabel(Qt::ElideMiddle, 200, 40, row);
  whoseListing_->setObjectName("WhoseListing");
  whoseListing_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  QPalette p = whoseListing_->palette();
  p.setColor(QPalette::WindowText, QColor(0xB0, 0x40, 0x00));
  whoseListing_->setPalette(p);
  rowLayout->addWidget(whoseListing_, 1);
  filter_ = new QLineEdit(row);
  filter_->setObjectName("FilterBox");
  filter_->setPlaceholderText(Display(Ui().filterPlaceholder));
  filter_->setToolTip(filter_->placeholderText());
  filter_->setClearButtonEnabled(true);
  filter_->setMinimumWidth(100);
  filter_->setMaximumWidth(240);
  filter_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  connect(filter_, &QLineEdit::textChanged, this, [this](const QString& text) {
    listing_->SetFilter(text);
    ShowSummary();
  });
  rowLayout->addWidget(filter_, 1);
  layout->addWidget(row);

  QTableView* listView2 = BuildListView("ListView2", listing_, model2_);
  listView2->setEditTriggers(QAbstractItemView::NoEditTriggers);
  QHeaderView* header = listView2->horizontalHeader();
  header->setSectionResizeMode(QHeaderView::Interactive);
  header->setSectionsClickable(true);
  connect(header, &QHeaderView::sectionClicked, this, &MainWindow::SortClicked);
  listView2->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(listView2, &QWidget::customContextMenuRequested, this, [this, listView2](const QPoint& at) {
    const QModelIndex row = listing_->mapToSource(listView2->indexAt(at));
    if (!row.isValid()) return;
    RowMenu(static_cast<size_t>(row.row()))->exec(listView2->viewport()->mapToGlobal(at));
  });
  fit2_.view = listView2;
  fit2_.model = model2_;
  fit2_.key = "ListView2";
  layout->addWidget(listView2, 1);
  return column;
}

void MainWindow::SortClicked(int column) {
  // The header flips its own arrow first; the arrow is set here again.
  QHeaderView* header = fit2_.view->horizontalHeader();
  if (listing_->SortColumn() != column) {
    listing_->SortBy(column, Qt::AscendingOrder);
  } else if (listing_->Order() == Qt::AscendingOrder) {
    listing_->SortBy(column, Qt::DescendingOrder);
  } else {
    listing_->SortBy(-1, Qt::AscendingOrder);  // the archive's order again
  }
  header->setSortIndicatorShown(listing_->SortColumn() >= 0);
  header->setSortIndicator(listing_->SortColumn(), listing_->Order());
}

std::unique_ptr<QMenu> MainWindow::RowMenu(size_t row) {
  auto menu = std::make_unique<QMenu>(this);
  menu->setObjectName("RowMenu");
  if (row >= s_.ListView2.Count()) return menu;
  const bool checked = s_.ListView2.Checked(row);
  QAction* tick = menu->addAction(Display(checked ? Ui().rowUncheck : Ui().rowCheck));
  tick->setObjectName("RowCheck");
  connect(tick, &QAction::triggered, this, [this, row, checked] {
    // As a click on the box: ticking stays live while a command runs.
    model2_->setData(model2_->index(static_cast<int>(row), 0), checked ? Qt::Unchecked : Qt::Checked,
                     Qt::CheckStateRole);
  });
  const QString name = model2_->data(model2_->index(static_cast<int>(row), 0), Qt::DisplayRole).toString();
  QAction* copy = menu->addAction(Display(Ui().rowCopyName));
  copy->setObjectName("RowCopyName");
  connect(copy, &QAction::triggered, this, [name] { QGuiApplication::clipboard()->setText(name); });
  // A row whose copies of its name differ: each copy, as extractors may
  // write it.
  const auto copies = s_.ListView2.NameCopies(row);
  if (!copies.empty()) {
    QMenu* sub = menu->addMenu(Display(Ui().rowCopyNameCopies));
    sub->setObjectName("RowNameCopies");
    for (const NameCopy& c : copies) {
      QAction* a = sub->addAction(NameCopyCaption(c));
      const QString text = NameCopyText(c);
      connect(a, &QAction::triggered, this, [text] { QGuiApplication::clipboard()->setText(text); });
    }
  }
  return menu;
}

QTableView* MainWindow::BuildListView(const char* name, QAbstractItemModel* shown, ListViewModel* model) {
  auto* view = new QTableView(this);
  view->setObjectName(name);
  view->setModel(shown);
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
  auto item = [this](QWidget* menu, const char* name, const std::string& caption, char key,
                     void (TForm1::*handler)()) {
    auto* action = new QAction(WithMnemonic(caption, key), menu);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, [this, handler] { Run(handler); });
    menu->addAction(action);
    return action;
  };
  auto submenu = [bar](const char* name, const std::string& caption, char key) {
    QMenu* menu = bar->addMenu(WithMnemonic(caption, key));
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    return menu;
  };

  // The shortcuts work wherever the focus is in the window, also when the
  // desktop shows the menu bar elsewhere; a menu shows them beside the item.
  const auto keys = [this](QAction* a, const std::string& caption, const QList<QKeySequence>& k) {
    a->setShortcuts(k);
    a->setToolTip(WithShortcuts(caption, k));
    addAction(a);
  };
  QMenu* file = submenu("File1", Ui().menuFile, 'F');
  recentMenu_ = file->addMenu(WithMnemonic(Ui().menuRecentFiles, 'R'));
  recentMenu_->setObjectName("Recent1");
  recentMenu_->menuAction()->setObjectName("Recent1");
  connect(recentMenu_, &QMenu::aboutToShow, this, &MainWindow::FillRecentMenu);
  file->addSeparator()->setObjectName("FileSeparator1");
  analyseOnSelect_ = file->addAction(WithMnemonic(Ui().menuAnalyseOnSelect, 'S'));
  analyseOnSelect_->setObjectName("AnalyseOnSelect");
  analyseOnSelect_->setCheckable(true);
  analyseOnSelect_->setChecked(OpenSettings()->value("options/analyseOnSelect", false).toBool());
  connect(analyseOnSelect_, &QAction::toggled, this,
          [](bool on) { OpenSettings()->setValue("options/analyseOnSelect", on); });
  file->addSeparator()->setObjectName("FileSeparator2");
  auto* quit = new QAction(WithMnemonic(Ui().menuQuit, 'X'), file);
  quit->setObjectName("Quit1");
  connect(quit, &QAction::triggered, this, [this] { close(); });
  file->addAction(quit);
  keys(item(bar, "Zip1", Ui().menuAnalyse, 'A', &TForm1::Zip1Click), Ui().menuAnalyse,
       {QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::Key_R)});
  QMenu* n1 = submenu("N1", Ui().menuCheckMarks, 'C');
  item(n1, "N8", Ui().menuCheckByExtension, 'E', &TForm1::N8Click);
  n1->addSeparator()->setObjectName("N12");
  keys(item(n1, "N9", Ui().menuCheckAll, 'A', &TForm1::N9Click), Ui().menuCheckAll,
       {QKeySequence(QKeySequence::SelectAll)});
  item(n1, "N10", Ui().menuUncheckAll, 'N', &TForm1::N10Click);
  item(n1, "N11", Ui().menuInvertChecks, 'I', &TForm1::N11Click);
  item(bar, "N2", Ui().menuRewrite, 'W', &TForm1::N2Click);
  QMenu* n5 = submenu("N5", Ui().menuRegenerate, 'G');
  item(n5, "N6", Ui().menuSplit, 'S', &TForm1::N6Click);
  item(n5, "N7", Ui().menuCombine, 'C', &TForm1::N7Click);
  QMenu* n3 = submenu("N3", Ui().menuLog, 'L');
  item(n3, "N4", Ui().menuLogWrite, 'O', &TForm1::N4Click);
  item(n3, "kuria1", Ui().menuLogClear, 'C', &TForm1::kuria1Click);
  item(bar, "About1", Ui().menuAbout, 'V', &TForm1::About1Click);
}

void MainWindow::FillRecentMenu() {
  recentMenu_->clear();
  const QStringList files = RecentFiles();
  if (files.isEmpty()) {
    recentMenu_->addAction(Display(Ui().menuRecentNone))->setEnabled(false);
    return;
  }
  for (qsizetype i = 0; i < files.size(); ++i) {
    const QString path = files[i];
    // "&1 /path": the number is the access key; an "&" of the path stays.
    QAction* a = recentMenu_->addAction(QString("&%1 ").arg(i + 1) + QString(path).replace("&", "&&"));
    a->setObjectName(QString("Recent1_%1").arg(i));
    connect(a, &QAction::triggered, this, [this, path] { OpenRecent(path); });
  }
}

void MainWindow::OpenRecent(const QString& path) {
  if (!QFileInfo(path).isFile()) {
    ForgetRecentFile(path);
    desktop_.ShowMessage(FormatText(Ui().recentFileGone, Utf8ToCp932(path.toStdString())));
    return;
  }
  const std::string native = QFile::encodeName(path).toStdString();
  Run([&] { form_.DropFiles({native}); });
  Run(&TForm1::Zip1Click);
}

void MainWindow::BuildShortcuts() {
  // The buttons and quitting have no menu item; their keys are actions of
  // the window, named in the buttons' tooltips.
  const auto action = [this](const char* name, const QList<QKeySequence>& keys, auto slot) {
    auto* a = new QAction(this);
    a->setObjectName(name);
    a->setShortcuts(keys);
    a->setShortcutContext(Qt::WindowShortcut);
    connect(a, &QAction::triggered, this, slot);
    addAction(a);
    return a;
  };
  QAction* browse = action("Button1Key", {QKeySequence(QKeySequence::Open)},
                          [this] { Select([this] { form_.Button1Click(); }); });
  findChild<QPushButton*>("Button1")->setToolTip(WithShortcuts(Ui().browse, browse->shortcuts()));
  // Esc stops only while a command runs; otherwise it is left to the
  // focused control (an edited tally caption takes it back).
  abortAction_ = action("Button3Key", {QKeySequence(Qt::Key_Escape)}, [this] { Run(&TForm1::Button3Click); });
  abortAction_->setEnabled(false);
  findChild<QPushButton*>("Button3")->setToolTip(WithShortcuts(Ui().abort, abortAction_->shortcuts()));
  action("QuitKey", {QKeySequence(Qt::CTRL | Qt::Key_Q)}, [this] { close(); });
  // F10 opens the first menu, as on other desktops.
  action("MenuKey", {QKeySequence(Qt::Key_F10)}, [this] {
    QMenuBar* bar = menuBar();
    if (!bar->actions().isEmpty()) bar->setActiveAction(bar->actions().front());
  });
}

void MainWindow::TrackColumns(FittedView& f) {
  const auto& columns = f.model->Columns();
  for (const ListColumn& c : columns) f.widths.push_back(c.width);
  QHeaderView* header = f.view->horizontalHeader();
  // Only visible rows are measured, so a listing of 65,535 rows costs what
  // one screenful costs; the columns grow again as the user scrolls.
  header->setResizeContentsPrecision(0);
  connect(header, &QHeaderView::sectionResized, this, [this, &f](int column, int, int size) {
    if (!fitting_ && column < static_cast<int>(f.widths.size())) f.widths[column] = size;
  });
  connect(f.view->verticalScrollBar(), &QScrollBar::valueChanged, this, [this, &f] { FitColumns(f); });
  // A cleared table is a new listing, even when the next sync finds more
  // rows than before (a filter or a sort is not).
  connect(f.model, &QAbstractItemModel::modelReset, this, [&f] { f.rows = INT_MAX; });
  connect(f.model, &QAbstractItemModel::rowsRemoved, this, [&f] { f.rows = INT_MAX; });
}

void MainWindow::FitColumns(FittedView& f) {
  const int rows = f.model->rowCount();
  QHeaderView* header = f.view->horizontalHeader();
  fitting_ = true;
  if (rows < f.rows || rows == 0) {
    // A new listing starts again from the start widths.
    for (int c = 0; c < static_cast<int>(f.widths.size()); ++c) header->resizeSection(c, f.widths[c]);
  }
  f.rows = rows;
  if (rows > 0 && f.view->isVisible()) {
    for (int c = 0; c < static_cast<int>(f.widths.size()); ++c) {
      // (Public only through the base class; the table view answers it.)
      const int wanted = static_cast<QAbstractItemView*>(f.view)->sizeHintForColumn(c);
      if (wanted > header->sectionSize(c)) header->resizeSection(c, wanted);
    }
  }
  fitting_ = false;
}

void MainWindow::RestoreSettings() {
  auto settings = OpenSettings();
  const QRect place = settings->value("window/geometry").toRect();
  if (place.isValid()) {
    resize(place.size());
    move(place.topLeft());
    restoredPlace_ = true;
    restoredMaximized_ = settings->value("window/maximized").toBool();
  }
  const QByteArray split = settings->value("window/splitter").toByteArray();
  if (!split.isEmpty()) splitter1_->restoreState(split);
  for (FittedView* f : {&fit2_, &fit5_}) {
    const QList<QVariant> widths = settings->value(QString(f->key) + "/widths").toList();
    if (widths.size() != static_cast<qsizetype>(f->widths.size())) continue;
    for (size_t c = 0; c < f->widths.size(); ++c) {
      const int w = widths[static_cast<qsizetype>(c)].toInt();
      if (w >= 8 && w <= 4000) f->widths[c] = w;
    }
    fitting_ = true;
    for (size_t c = 0; c < f->widths.size(); ++c) {
      f->view->horizontalHeader()->resizeSection(static_cast<int>(c), f->widths[c]);
    }
    fitting_ = false;
  }
}

void MainWindow::SaveSettings() const {
  auto settings = OpenSettings();
  // The place of the window, frame included: pos() is the frame's corner.
  settings->setValue("window/geometry", QRect(isMaximized() ? normalGeometry().topLeft() : pos(),
                                             isMaximized() ? normalGeometry().size() : size()));
  settings->setValue("window/maximized", isMaximized());
  settings->setValue("window/splitter", splitter1_->saveState());
  for (const FittedView* f : {&fit2_, &fit5_}) {
    QList<QVariant> widths;
    for (int w : f->widths) widths << w;
    settings->setValue(QString(f->key) + "/widths", widths);
  }
}

void MainWindow::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName("StatusBar1");
  for (size_t i = 0; i < StatusBar::kPanels; ++i) {
    auto* panel = new StatusPanel(bar);
    panel->setObjectName(QString("StatusBar1Panel%1").arg(i));
    panel->setMaximumWidth(kPanelWidth);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setTextFormat(Qt::PlainText);
    bar->addWidget(panel);
    panels_[i] = panel;
  }
  // The listing's entries and sizes, right of the three panels.
  summary_ = new ElidedLabel(Qt::ElideRight, 100, 40, bar);
  summary_->setObjectName("StatusBar1Summary");
  bar->addWidget(summary_, 1);
}

void MainWindow::ShowSummary() {
  const EntryTable& listing = s_.ListView2;
  uint64_t compressed = 0, original = 0;
  size_t checked = 0;
  for (int row : listing_->ShownRows()) {
    const size_t r = static_cast<size_t>(row);
    compressed += listing.Value(r, kColSize);
    original += listing.Original(r);
    checked += listing.Checked(r) ? 1 : 0;
  }
  summaryRevision_ = listing.Revision();
  if (listing.Count() == 0) {
    summary_->clear();
    summary_->setToolTip({});
    return;
  }
  const UiTexts& ui = Ui();
  const auto n = [](uint64_t v) { return FormatThousands(static_cast<int64_t>(v)); };
  const size_t shown = listing_->ShownRows().size();
  std::string entries = listing_->Filtered() ? FormatText(FormatText(ui.summaryShown, n(shown)), n(listing.Count()))
                                             : FormatText(ui.summaryEntries, n(shown));
  if (checked > 0) entries += FormatText(ui.summaryChecked, n(checked));
  summary_->setText(Display(entries) + QStringLiteral("\u3000") +
                    Fill(Display(ui.summarySizes), {SizeText(compressed), SizeText(original)}));
  summary_->setToolTip(Fill(Display(ui.summarySizes), {Display(FormatText(ui.sizeBytes, n(compressed))),
                                                       Display(FormatText(ui.sizeBytes, n(original)))}));
}

void MainWindow::ShowWhoseListing() {
  const bool another = ListingOfAnotherFile(s_);
  model2_->SetGreyed(another);
  if (!another) {
    whoseListing_->clear();
    whoseListing_->setToolTip({});
    return;
  }
  const QString path = QFile::decodeName(QByteArray::fromStdString(s_.ListingPath));
  whoseListing_->setText(Fill(Display(Ui().listingOfAnotherFile), {QFileInfo(path).fileName()}));
  whoseListing_->setToolTip(path);
}

void MainWindow::FitPathToScreen(const QRect& area) {
  // What the top bar holds beside the path: margins, three controls and
  // their gaps, and a frame's width to spare.
  constexpr int kBeside = kWidth - kPathWidth - kTopBarRest + 16;
  label1_->setMinimumWidth(std::clamp(area.width() - kBeside, kPathMinimum, kPathWidth));
}

void MainWindow::Select(const std::function<void()>& command) {
  const uint64_t before = s_.Label1.Revision();
  Run(command);
  if (analyseOnSelect_->isChecked() && s_.Label1.Revision() != before && !s_.Label1.Caption().empty()) {
    Run(&TForm1::Zip1Click);
  }
}

void MainWindow::SyncViews() {
  if (s_.Label1.Revision() != labelRevision_) {
    label1_->setText(QFile::decodeName(QByteArray::fromStdString(s_.Label1.Caption())));
    label1_->setToolTip(label1_->text());
    const QString name = QFileInfo(label1_->text()).fileName();
    setWindowTitle(name.isEmpty() ? Display(Ui().appTitle) : name + QStringLiteral(" - ") + Display(Ui().appTitle));
    labelRevision_ = s_.Label1.Revision();
    ShowWhoseListing();
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
  if (s_.ListView2.Revision() != summaryRevision_) {
    ShowSummary();
    ShowWhoseListing();
  }
  FitColumns(fit2_);
  FitColumns(fit5_);
}

void MainWindow::Run(void (TForm1::*handler)()) {
  Run([&] { (form_.*handler)(); });
  // An archive the analysis opened goes first in "最近使ったファイル".
  if (handler == &TForm1::Zip1Click && s_.AnalysedFile) {
    const QString path = QFile::decodeName(QByteArray::fromStdString(s_.Label1.Caption()));
    if (QFileInfo(path).isFile()) NoteRecentFile(QFileInfo(path).absoluteFilePath());
  }
}

void MainWindow::Run(const std::function<void()>& command) {
  ++running_;
  abortAction_->setEnabled(true);
  RunCommand(desktop_, command);
  --running_;
  abortAction_->setEnabled(running_ > 0);
  SyncViews();
  if (running_ == 0) listing_->SortAgain();
  if (closePending_ && running_ == 0) {
    closePending_ = false;
    close();
  }
}

void MainWindow::showEvent(QShowEvent* e) {
  QMainWindow::showEvent(e);
  if (shownOnce_) return;
  shownOnce_ = true;
  FitFirstPlace();
  // Some window managers (openbox) tell the frame only after the window is
  // mapped: fit once more when it is known.
  frameAwaited_ = windowHandle() && windowHandle()->frameMargins().isNull();
}

void MainWindow::moveEvent(QMoveEvent* e) {
  QMainWindow::moveEvent(e);
  if (frameAwaited_ && windowHandle() && !windowHandle()->frameMargins().isNull()) {
    frameAwaited_ = false;
    FitFirstPlace();
  }
}

void MainWindow::FitFirstPlace() {
  // 868 x 527 is the outer size: take the frame off where the platform
  // already knows it. The whole window must fit the screen's free area (on
  // a high-DPI screen 868 x 527 can be larger than it), and a remembered
  // place is moved back onto the screen.
  QWindow* w = windowHandle();
  if (!w) return;
  const QMargins m = w->frameMargins();
  QScreen* screen = restoredPlace_ ? QGuiApplication::screenAt(pos()) : nullptr;
  if (!screen) screen = w->screen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  FitPathToScreen(area.marginsRemoved(m));
  QRect outer;
  if (restoredPlace_) {
    outer = FitInside(QRect(pos(), size().grownBy(m)), area);
  } else {
    outer = FitInside(QRect(QPoint(), QSize(kWidth, kHeight)), area);
    outer.moveCenter(area.center());
  }
  resize(outer.size().shrunkBy(m));
  move(outer.topLeft());
  if (restoredMaximized_) setWindowState(windowState() | Qt::WindowMaximized);
}

void MainWindow::closeEvent(QCloseEvent* e) {
  if (running_ > 0 || form_.Busy()) {
    // Ask the running command to stop; the window closes once it returned.
    e->ignore();
    closePending_ = true;
    form_.Button3Click();
    return;
  }
  SaveSettings();
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
  Select([&] { form_.DropFiles(paths); });
}

}  // namespace brim::qt
