// The main window and the About window driven through their real widgets.
#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QRegularExpression>
#include <QTest>

#include "form/Unit1.h"
#include "qt/list_model.h"
#include "qt_test_support.h"

using brim::test::J;
using brim::test::Q;

// A menu caption without its access key: "解析(&A)" -> "解析".
static QString WithoutAccessKey(QString text) { return text.remove(QRegularExpression(R"(\(&.\)$)")); }

class WindowTest : public brim::test::WindowFixture {
  Q_OBJECT

 private:
  template <typename T>
  T* Find(const char* name) {
    T* w = W().findChild<T*>(name);
    if (!w) qWarning("no control %s", name);
    return w;
  }
  void FillPanels() {
    brim::test::SetPanelText(S().StatusBar1, 0, J("解析済み"));
    brim::test::SetPanelText(S().StatusBar1, 1, "0");
    brim::test::SetPanelText(S().StatusBar1, 2, J("結合中 1/2"));
    W().SyncViews();
  }
  std::vector<QWidget*> VisibleAboutWindows() {
    std::vector<QWidget*> found;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->objectName() == "Form2" && w->isVisible()) found.push_back(w);
    }
    return found;
  }
  bool Drop(const QList<QUrl>& urls) {
    QMimeData mime;
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&W(), &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&W(), &drop);
    return drop.isAccepted();
  }

 private slots:
  void init() { Start(); }
  void cleanup() { Stop(); }

  void windowHasItsCaptionSizeAndPlace() {
    W().show();
    QVERIFY(QTest::qWaitForWindowExposed(&W()));
    QCOMPARE(W().windowTitle(), QString("Brimlode"));
    // The drawing the desktop menu shows, built in.
    QCOMPARE(W().windowIcon().pixmap(256).size(), QSize(256, 256));
    const QRect screen = W().screen()->availableGeometry();
    // 868 x 527, but never more than the screen holds (the offscreen screen
    // is narrower, as a high-DPI screen can be).
    QCOMPARE(W().frameGeometry().size(), QSize(868, 527).boundedTo(screen.size()));
    QVERIFY(qAbs(W().frameGeometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(W().frameGeometry().center().y() - screen.center().y()) <= 1);
    QCOMPARE(W().font().family(), Q(J("ＭＳ Ｐゴシック")));
    QCOMPARE(W().font().pixelSize(), 12);
    QVERIFY(W().acceptDrops());
  }

  void topBarControls() {
    W().show();
    QVERIFY(QTest::qWaitForWindowExposed(&W()));
    auto* panel2 = Find<QWidget>("Panel2");
    QCOMPARE(panel2->height(), 41);
    QCOMPARE(panel2->width(), W().width());
    auto* label1 = Find<QLabel>("Label1");
    QCOMPARE(label1->size(), QSize(505, 17));
    QVERIFY(label1->text().isEmpty());
    QVERIFY(label1->autoFillBackground());
    auto* button1 = Find<QPushButton>("Button1");
    QCOMPARE(button1->text(), Q(J("参照")));
    QCOMPARE(button1->size(), QSize(75, 25));
    auto* gauge1 = Find<QProgressBar>("Gauge1");
    QCOMPARE(gauge1->size(), QSize(49, 25));
    QCOMPARE(gauge1->minimum(), 0);
    QCOMPARE(gauge1->maximum(), 100);
    QCOMPARE(gauge1->value(), 0);
    auto* button3 = Find<QPushButton>("Button3");
    QCOMPARE(button3->text(), Q(J("中断")));
    QCOMPARE(button3->size(), QSize(33, 25));
    // Left to right, none overlapping, all inside the bar.
    const auto x = [panel2](QWidget* w) { return w->mapTo(panel2, QPoint()).x(); };
    QVERIFY(x(label1) + label1->width() <= x(button1));
    QVERIFY(x(button1) + button1->width() <= x(gauge1));
    QVERIFY(x(gauge1) + gauge1->width() <= x(button3));
    QVERIFY(x(button3) + button3->width() <= panel2->width());
  }

  void rightPanelAndListing() {
    W().show();
    QVERIFY(QTest::qWaitForWindowExposed(&W()));
    auto* panel1 = Find<QWidget>("Panel1");
    QCOMPARE(panel1->width(), 150);
    QCOMPARE(panel1->mapTo(&W(), QPoint(panel1->width(), 0)).x(), W().width());
    auto* label2 = Find<QLabel>("Label2");
    QCOMPARE(label2->text(), Q(J("含有拡張子")));
    QVERIFY(label2->alignment() & Qt::AlignHCenter);
    QCOMPARE(label2->mapTo(panel1, QPoint(0, label2->height())).y(), 48);
    auto* button2 = Find<QPushButton>("Button2");
    QCOMPARE(button2->text(), Q(J("(←)リストに反映!")));
    QCOMPARE(button2->size(), QSize(137, 25));
    // Over the lower part of the heading.
    const QRect headingRect(label2->mapTo(panel1, QPoint()), label2->size());
    const QRect buttonRect(button2->mapTo(panel1, QPoint()), button2->size());
    QVERIFY(headingRect.contains(buttonRect));
    QVERIFY(buttonRect.top() > headingRect.center().y() - buttonRect.height());

    struct Col {
      const char* header;
      int width;
      Qt::Alignment align;
    };
    const auto checkColumns = [](QTableView* view, const std::vector<Col>& cols) {
      QCOMPARE(view->model()->columnCount(), static_cast<int>(cols.size()));
      for (int c = 0; c < static_cast<int>(cols.size()); ++c) {
        QCOMPARE(view->model()->headerData(c, Qt::Horizontal).toString(), Q(J(cols[c].header)));
        QCOMPARE(view->horizontalHeader()->sectionSize(c), cols[c].width);
        const int align = view->model()->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).toInt();
        QCOMPARE(align & Qt::AlignHorizontal_Mask, static_cast<int>(cols[c].align));
      }
      QVERIFY(view->showGrid());
      QVERIFY(!view->isSortingEnabled());
      QVERIFY(!view->verticalHeader()->isVisible());
    };
    auto* listView2 = Find<QTableView>("ListView2");
    checkColumns(listView2, {{"ファイル名", 300, Qt::AlignLeft},
                             {"率", 40, Qt::AlignRight},
                             {"Compress", 70, Qt::AlignRight},
                             {"Original", 70, Qt::AlignRight},
                             {"パス名", 120, Qt::AlignLeft}});
    QVERIFY(listView2->horizontalHeader()->sectionsClickable());  // sorts; the view itself never does
    QCOMPARE(listView2->editTriggers(), QAbstractItemView::NoEditTriggers);
    auto* listView5 = Find<QTableView>("ListView5");
    checkColumns(listView5, {{"拡張子", 65, Qt::AlignLeft}, {"数", 30, Qt::AlignLeft}});
    QCOMPARE(listView5->horizontalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    QVERIFY(listView5->editTriggers() & QAbstractItemView::DoubleClicked);
    QVERIFY(panel1->isAncestorOf(listView5));
    // The listing takes the rest, left of the panel.
    QCOMPARE(listView2->mapTo(&W(), QPoint(listView2->width(), 0)).x(), panel1->mapTo(&W(), QPoint()).x());
  }

  void logPaneSplitterAndStatusBar() {
    W().show();
    QVERIFY(QTest::qWaitForWindowExposed(&W()));
    auto* splitter = Find<QSplitter>("Splitter1");
    QCOMPARE(splitter->orientation(), Qt::Vertical);
    QCOMPARE(splitter->handleWidth(), 5);
    QVERIFY(!splitter->childrenCollapsible());
    auto* memo = Find<QPlainTextEdit>("Memo1");
    QCOMPARE(splitter->indexOf(memo), 1);
    QCOMPARE(memo->height(), 54);
    QVERIFY(memo->isReadOnly());
    QCOMPARE(memo->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    QCOMPARE(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(memo->font().family(), Q(J("ＭＳ ゴシック")));
    QCOMPARE(memo->font().pixelSize(), 12);
    // IPAGothic counts as "dual" spacing (CJK monospace), not as fixed pitch
    // to fontconfig; what matters is that every half-width glyph is as wide.
    const QFontMetrics metrics(memo->font());
    QCOMPARE(metrics.horizontalAdvance('i'), metrics.horizontalAdvance('W'));
    // Memo spans the width; the status bar is below it.
    QCOMPARE(memo->width(), W().width());
    auto* bar = Find<QStatusBar>("StatusBar1");
    QVERIFY(memo->mapTo(&W(), QPoint(0, memo->height())).y() <= bar->mapTo(&W(), QPoint()).y());
    for (int i = 0; i < 3; ++i) {
      auto* panel = Find<QLabel>(qPrintable(QString("StatusBar1Panel%1").arg(i)));
      QCOMPARE(panel->width(), 200);
      QCOMPARE(panel->parentWidget(), bar);
    }
  }

  void menuTreeInOrder() {
    struct Item {
      const char* name;
      const char* caption;  // nullptr: separator
    };
    const std::vector<std::pair<Item, std::vector<Item>>> tree = {
        {{"File1", "ファイル"}, {{"Recent1", "最近使ったファイル"},
                                      {"FileSeparator1", nullptr},
                                      {"AnalyseOnSelect", "選んだファイルをすぐ解析する"},
                                      {"FileSeparator2", nullptr},
                                      {"Quit1", "終了"}}},
        {{"Zip1", "解析"}, {}},
        {{"N1", "チェックマーク"},
         {{"N8", "包含拡張子を持つファイルにチェックマークを付ける"},
          {"N12", nullptr},
          {"N9", "すべてにチェックマークを付ける"},
          {"N10", "すべてのチェックマークを外す"},
          {"N11", "チェックマークを反転させる"}}},
        {{"N2", "書き換え"}, {}},
        {{"N5", "再生成"}, {{"N6", "個別に生成"}, {"N7", "結合して生成"}}},
        {{"N3", "ログ"}, {{"N4", "出力"}, {"kuria1", "クリア"}}},
        {{"About1", "バージョン情報"}, {}},
    };
    auto* bar = W().findChild<QMenuBar*>("MainMenu1");
    QVERIFY(bar);
    const QList<QAction*> top = bar->actions();
    QCOMPARE(top.size(), static_cast<qsizetype>(tree.size()));
    for (size_t i = 0; i < tree.size(); ++i) {
      QAction* a = top[i];
      QCOMPARE(a->objectName(), QString(tree[i].first.name));
      QCOMPARE(WithoutAccessKey(a->text()), Q(J(tree[i].first.caption)));
      QVERIFY(a->isEnabled());
      const auto& subs = tree[i].second;
      QCOMPARE(a->menu() != nullptr, !subs.empty());
      if (subs.empty()) continue;
      const QList<QAction*> items = a->menu()->actions();
      QCOMPARE(items.size(), static_cast<qsizetype>(subs.size()));
      for (size_t j = 0; j < subs.size(); ++j) {
        QCOMPARE(items[j]->objectName(), QString(subs[j].name));
        QCOMPARE(items[j]->isSeparator(), subs[j].caption == nullptr);
        if (subs[j].caption) QCOMPARE(WithoutAccessKey(items[j]->text()), Q(J(subs[j].caption)));
      }
    }
  }

  void dropSelectsTheFirstPathWholeAndClearsThePanels() {
    FillPanels();
    brim::test::AddListed(S().ListView2, "kept.txt", 1, 2);  // "50%", "1", "2"
    W().SyncViews();
    const QString longNative = QString::fromStdString("/tmp/" + std::string(300, 'a') + "/") + Q(J("表")) + ".zip";
    QVERIFY(Drop({QUrl::fromLocalFile(longNative), QUrl::fromLocalFile("/tmp/second.lzh")}));
    QCOMPARE(S().Label1.Caption(), longNative.toStdString());
    QCOMPARE(Find<QLabel>("Label1")->text(), longNative);
    for (int i = 0; i < 3; ++i) QCOMPARE(Panel(i), QString());
    // A drop selects; the tables still show the last analysis.
    QCOMPARE(W().ListView2Model().rowCount(), 1);
    QVERIFY(script_.boxes.empty());
  }

  void dropWithoutLocalFilesIsRefused() {
    S().Label1.SetCaption("/tmp/old.zip");
    FillPanels();
    QVERIFY(!Drop({QUrl("https://example.org/a.zip")}));
    QCOMPARE(S().Label1.Caption(), std::string("/tmp/old.zip"));
    QCOMPARE(Panel(0), Q(J("解析済み")));
  }

  void browseCancelledKeepsThePathAndClearsThePanels() {
    S().Label1.SetCaption("/tmp/old.zip");
    FillPanels();
    QTest::mouseClick(Find<QPushButton>("Button1"), Qt::LeftButton);
    QCOMPARE(script_.dialogParents.size(), size_t{1});
    QCOMPARE(script_.dialogParents[0], static_cast<QWidget*>(&W()));
    QCOMPARE(Find<QLabel>("Label1")->text(), QString("/tmp/old.zip"));
    for (int i = 0; i < 3; ++i) QCOMPARE(Panel(i), QString());

    script_.chosenFile = "/tmp/" + Q(J("新しい")) + ".lzh";
    FillPanels();
    QTest::mouseClick(Find<QPushButton>("Button1"), Qt::LeftButton);
    QCOMPARE(Find<QLabel>("Label1")->text(), script_.chosenFile);
    QCOMPARE(S().Label1.Caption(), script_.chosenFile.toStdString());
    QCOMPARE(Panel(0), QString());
  }

  void abortButtonRequestsAnAbortOnlyWithAPath() {
    QTest::mouseClick(Find<QPushButton>("Button3"), Qt::LeftButton);
    QVERIFY(!S().AbortRequested);
    S().Label1.SetCaption("/tmp/a.zip");
    QTest::mouseClick(Find<QPushButton>("Button3"), Qt::LeftButton);
    QVERIFY(S().AbortRequested);
  }

  void logWriteBeforeAnyAnalysisShowsThePlainBox() {
    S().Memo1.Append("line");
    Action("N4")->trigger();
    QCOMPARE(script_.boxes.size(), size_t{1});
    const auto& box = script_.boxes[0];
    QCOMPARE(box.objectName, QString("MessageBox"));
    QCOMPARE(box.title, QString("Brimlode"));
    QCOMPARE(box.text, Q(J("ファイル名が設定されていません")));
    QCOMPARE(box.icon, QMessageBox::NoIcon);
    QCOMPARE(box.buttons, QStringList{"OK"});
  }

  void failedCommandShowsTheErrorBoxAndTheProgramGoesOn() {
    const std::string path = "/nonexistent-brimlode-folder/a(Unzip).log";
    S().LogFilePath = path;
    S().Memo1.Append("kept");
    Action("N4")->trigger();
    QCOMPARE(script_.boxes.size(), size_t{1});
    const auto& box = script_.boxes[0];
    QCOMPARE(box.objectName, QString("ErrorBox"));
    QCOMPARE(box.title, QString("Brimlode"));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.text, Q(J("ファイル ")) + QString::fromStdString(path) + Q(J(" を作成できません（そのようなフォルダはありません）.")));
    QCOMPARE(box.buttons, QStringList{"OK"});
    QCOMPARE(S().Memo1.Count(), size_t{1});
    // Still running: the next command works.
    Action("kuria1")->trigger();
    QCOMPARE(Find<QPlainTextEdit>("Memo1")->toPlainText(), QString());
    QCOMPARE(S().Memo1.Count(), size_t{0});
  }

  void logClearEmptiesThePane() {
    S().Memo1.Append("---");
    S().Memo1.Append(J("表.txtを00で上書きしました。"));
    W().SyncViews();
    auto* memo = Find<QPlainTextEdit>("Memo1");
    QCOMPARE(memo->toPlainText(), "---\n" + Q(J("表.txtを00で上書きしました。")));
    Action("kuria1")->trigger();
    QCOMPARE(memo->toPlainText(), QString());
    QCOMPARE(memo->blockCount(), 1);
  }

  void questionBoxAnswers_data() {
    QTest::addColumn<int>("how");  // 0 Enter, 1 Esc, 2 Yes clicked, 3 No clicked, 4 closed
    QTest::addColumn<int>("answer");
    QTest::newRow("Enter takes the default") << 0 << static_cast<int>(brim::Answer::Yes);
    QTest::newRow("Esc answers No") << 1 << static_cast<int>(brim::Answer::No);
    QTest::newRow("Yes") << 2 << static_cast<int>(brim::Answer::Yes);
    QTest::newRow("No") << 3 << static_cast<int>(brim::Answer::No);
    QTest::newRow("closed") << 4 << static_cast<int>(brim::Answer::Closed);
  }
  void questionBoxAnswers() {
    QFETCH(int, how);
    QFETCH(int, answer);
    script_.answer = [how](QMessageBox& box) {
      box.show();
      QVERIFY(QTest::qWaitForWindowExposed(&box));
      switch (how) {
        case 0: QTest::keyClick(&box, Qt::Key_Return); break;
        case 1: QTest::keyClick(&box, Qt::Key_Escape); break;
        case 2: box.buttons()[0]->click(); break;
        case 3: box.buttons()[1]->click(); break;
        default: box.close(); break;
      }
    };
    const brim::Answer got = app_->desktop.AskYesNo(J("書き換えを実行します。よろしいですか？"));
    QCOMPARE(static_cast<int>(got), answer);
    QCOMPARE(script_.boxes.size(), size_t{1});
    const auto& box = script_.boxes[0];
    QCOMPARE(box.title, Q(J("確認")));
    QCOMPARE(box.icon, QMessageBox::Question);
    QCOMPARE(box.text, Q(J("書き換えを実行します。よろしいですか？")));
    QCOMPARE(box.buttons, (QStringList{Q(J("はい(&Y)")), Q(J("いいえ(&N)"))}));
    QCOMPARE(box.defaultButton, Q(J("はい(&Y)")));
    QCOMPARE(box.escapeButton, Q(J("いいえ(&N)")));
  }

  void aboutTwiceGivesOneWindowNeitherMovedNorRaised() {
    W().show();
    QVERIFY(VisibleAboutWindows().empty());
    Action("About1")->trigger();
    auto shown = VisibleAboutWindows();
    QCOMPARE(shown.size(), size_t{1});
    QWidget* about = shown[0];
    about->move(about->pos() + QPoint(37, 21));
    const QPoint moved = about->pos();
    Action("About1")->trigger();
    QCOMPARE(VisibleAboutWindows().size(), size_t{1});
    QCOMPARE(about->pos(), moved);
    // Closed, it hides; the same window comes back with the same look.
    about->close();
    QVERIFY(VisibleAboutWindows().empty());
    Action("About1")->trigger();
    QCOMPARE(VisibleAboutWindows(), std::vector<QWidget*>{about});
    QCOMPARE(about->findChild<QLabel*>("Label3")->cursor().shape(), Qt::PointingHandCursor);
  }

  void aboutWindowLayoutAndLink() {
    W().show();
    QVERIFY(QTest::qWaitForWindowExposed(&W()));
    Action("About1")->trigger();
    QWidget& about = app_->aboutWindow;
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QCOMPARE(about.windowTitle(), Q(J("バージョン情報")));
    QCOMPARE(about.size(), QSize(355, 93));
    QCOMPARE(about.minimumSize(), about.maximumSize());
    const Qt::WindowFlags f = about.windowFlags();
    QVERIFY(f & Qt::WindowCloseButtonHint);
    QVERIFY(f & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(f & Qt::WindowMaximizeButtonHint));
    QVERIFY(!about.windowIcon().isNull());
    QVERIFY(about.windowIcon().cacheKey() != W().windowIcon().cacheKey());
    QVERIFY(qAbs(about.frameGeometry().center().x() - W().frameGeometry().center().x()) <= 1);
    QVERIFY(qAbs(about.frameGeometry().center().y() - W().frameGeometry().center().y()) <= 1);

    auto* label1 = about.findChild<QLabel*>("Label1");
    QCOMPARE(label1->pos(), QPoint(32, 8));
    QCOMPARE(label1->text(), QString("Brimlode v0.40"));
    QCOMPARE(label1->font().pixelSize(), 16);
    auto* label2 = about.findChild<QLabel*>("Label2");
    QCOMPARE(label2->pos(), QPoint(192, 40));
    QVERIFY(!label2->text().isEmpty());
    auto* label3 = about.findChild<QLabel*>("Label3");
    QCOMPARE(label3->pos(), QPoint(168, 64));
    QCOMPARE(label3->size(), label3->sizeHint());
    QCOMPARE(label3->palette().color(QPalette::WindowText), QColor(0, 0, 128));
    QVERIFY(label3->autoFillBackground());
    QCOMPARE(label3->palette().color(QPalette::Window), brim::qt::CaptionTextColour(about));
    QVERIFY(!label3->font().underline());
    QVERIFY(!label3->font().bold());
    // Every label fits in the window.
    for (QLabel* l : {label1, label2, label3}) QVERIFY(about.rect().contains(l->geometry()));

    QTest::mouseClick(&about, Qt::LeftButton, {}, QPoint(5, 85));
    QTest::mouseClick(label1, Qt::LeftButton);
    QVERIFY(script_.openedUrls.empty());
    QTest::mouseClick(label3, Qt::LeftButton);
    QCOMPARE(script_.openedUrls.size(), size_t{1});
    QCOMPARE(script_.openedUrls[0], QUrl(label3->text()));
    QCOMPARE(script_.openedUrls[0].scheme(), QString("https"));
    QVERIFY(about.isVisible());
  }

  void closingTheMainWindowEndsTheProgramWhileAboutIsOpen() {
    W().show();
    Action("About1")->trigger();
    QVERIFY(app_->aboutWindow.isVisible());
    // The event loop ends by itself once the main window closes; the About
    // window does not keep the program alive.
    QTimer::singleShot(0, &W(), [this] { W().close(); });
    QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(1); });
    QCOMPARE(QCoreApplication::exec(), 0);
  }

  void closingDuringACommandAbortsAndClosesWhenItReturns() {
    W().show();
    QVERIFY(QTest::qWaitForWindowExposed(&W()));
    S().Label1.SetCaption("/tmp/a.zip");
    bool visibleAfterClose = false;
    W().Run([&] {
      W().close();
      app_->desktop.ProcessMessages();
      visibleAfterClose = W().isVisible();
    });
    QVERIFY(visibleAfterClose);
    QVERIFY(S().AbortRequested);
    QVERIFY(!W().isVisible());
  }

  void pumpShowsWhatTheCommandChanged() {
    W().Run([&] {
      S().Label1.SetCaption("/tmp/x.zip");
      S().Gauge1.SetProgress(42);
      brim::test::SetPanelText(S().StatusBar1, 1, "Level=2");
      brim::test::AddListed(S().ListView2, "a.txt", 1, 2, brim::RatioStyle::Ratio);  // "50.0%", "1", "2"
      S().Memo1.Append("---");
      S().ProcessMessages.SetThrottle(1, std::chrono::microseconds(0));
      S().ProcessMessages();
      QCOMPARE(Find<QLabel>("Label1")->text(), QString("/tmp/x.zip"));
      QCOMPARE(Find<QProgressBar>("Gauge1")->value(), 42);
      QCOMPARE(Panel(1), QString("Level=2"));
      QCOMPARE(W().ListView2Model().rowCount(), 1);
      QCOMPARE(Find<QPlainTextEdit>("Memo1")->toPlainText(), QString("---"));
      brim::test::AddListed(S().ListView2, "b.txt", 1, 2, brim::RatioStyle::Ratio);
    });
    // And the return syncs what came after the last pump.
    QCOMPARE(W().ListView2Model().rowCount(), 2);
  }
};

std::unique_ptr<QObject> MakeWindowTest() { return std::make_unique<WindowTest>(); }

#include "window_test.moc"
