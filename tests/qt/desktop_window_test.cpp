// The window as a desktop program: the file named on the command line, the
// keyboard, what it remembers between runs, columns that fit their values,
// and the About window's ways out.
#include <QAction>
#include <QDir>
#include <QPlainTextEdit>
#include <QHeaderView>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "qt/list_model.h"
#include "qt_test_support.h"
#include "support/lzh_builder.h"
#include "support/zip_builder.h"

using brim::test::J;
using brim::test::Q;

class DesktopWindowTest : public QObject {
  Q_OBJECT

 private:
  brim::test::Script script_;
  std::unique_ptr<brim::qt::BrimlodeApp> app_;
  std::unique_ptr<brim::test::TempDir> dir_;

  brim::qt::MainWindow& W() { return app_->mainWindow; }
  brim::ProgramState& S() { return app_->form.state; }
  QAction* Action(const char* name) { return W().findChild<QAction*>(name); }
  QTableView* View(const char* name) { return W().findChild<QTableView*>(name); }
  QString Panel(int i) {
    return W().findChild<QLabel*>(qPrintable(QString("StatusBar1Panel%1").arg(i)))->text();
  }
  void ShowActive() {
    W().show();
    W().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&W()));
  }
  std::string SmallZip() {
    brim::test::ZipBuilder z;
    z.Local(brim::test::ZipLocal::Stored("a.txt", brim::test::BytesOf("hello")));
    z.Local(brim::test::ZipLocal::Stored("b.exe", brim::test::BytesOf("MZ")));
    z.Finish();
    const std::string path = dir_->File("small.zip");
    brim::test::WriteFileBytes(path, z.bytes);
    return path;
  }
  // n stored entries e0.txt, e1.txt, ... analysed and all ticked, every
  // step pumping, so "中断" is seen at the first check after it.
  std::string AnalysedZipOfTicked(int n) {
    brim::test::ZipBuilder z;
    for (int i = 0; i < n; ++i) {
      z.Local(brim::test::ZipLocal::Stored("e" + std::to_string(i) + ".txt", brim::test::BytesOf("data")));
    }
    z.Finish();
    const std::string path = dir_->File("ten.zip");
    brim::test::WriteFileBytes(path, z.bytes);
    app_->OpenFile(QString::fromStdString(path));
    Action("N9")->trigger();
    S().ProcessMessages.SetThrottle(1, std::chrono::microseconds(0));
    return path;
  }
  // Presses Esc in the pump that shows the count-th log line ending in
  // suffix, as a user who waited for it would.
  void EscAfterLogLines(const std::string& suffix, size_t count) {
    auto* memo = W().findChild<QPlainTextEdit*>("Memo1");
    connect(memo, &QPlainTextEdit::blockCountChanged, this, [this, suffix, count, done = false]() mutable {
      size_t seen = 0;
      for (const std::string& line : S().Memo1.Lines()) {
        if (line.size() >= suffix.size() && line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0) {
          ++seen;
        }
      }
      if (done || seen < count) return;
      done = true;
      QTest::keyClick(&W(), Qt::Key_Escape);
    });
  }
  std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  // Stored LZH entries all named alike: ratio "100.0%", one tally row.
  std::string ManyStoredLzh(int entries) {
    brim::test::LzhBuilder b;
    for (int i = 0; i < entries; ++i) b.Add(brim::test::LzhEntry::Level1("f.txt", brim::test::BytesOf("x")));
    b.EndMark();
    const std::string path = dir_->File("many.lzh");
    brim::test::WriteFileBytes(path, b.bytes);
    return path;
  }

 private slots:
  void init() {
    script_ = {};
    app_ = brim::test::MakeApp(script_);
    dir_ = std::make_unique<brim::test::TempDir>();
  }
  void cleanup() {
    app_.reset();
    dir_.reset();
  }

  void fileArgument_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("file");
    QTest::newRow("path") << QStringList{"brimlode", "/tmp/a.zip"} << "/tmp/a.zip";
    QTest::newRow("relative") << QStringList{"brimlode", "x/a.lzh"} << QDir::current().absoluteFilePath("x/a.lzh");
    QTest::newRow("file URL") << QStringList{"brimlode", "file:///tmp/%E8%A1%A8.zip"} << "/tmp/" + Q(J("表")) + ".zip";
    QTest::newRow("options skipped, first file")
        << QStringList{"brimlode", "--verbose", "/tmp/a.lzh", "/tmp/b.lzh"} << "/tmp/a.lzh";
    QTest::newRow("after --") << QStringList{"brimlode", "--", "-odd.zip"} << QDir::current().absoluteFilePath("-odd.zip");
    QTest::newRow("none") << QStringList{"brimlode"} << QString();
  }
  void fileArgument() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, file);
    QCOMPARE(brim::qt::FileArgument(arguments), file);
  }

  void openFileSelectsItAndAnalyses() {
    const std::string path = SmallZip();
    S().StatusBar1.SetProgress(J("結合中 1/2"));
    app_->OpenFile(QString::fromStdString(path));
    QCOMPARE(S().Label1.Caption(), path);
    QCOMPARE(W().findChild<QLabel*>("Label1")->toolTip(), QString::fromStdString(path));
    QCOMPARE(Panel(0), Q(J("解析済み")));
    QCOMPARE(Panel(2), QString());
    QCOMPARE(W().ListView2Model().rowCount(), 2);
    QVERIFY(script_.boxes.empty());
  }

  void keysRunTheirCommands() {
    ShowActive();
    // Shown beside the items in the menus; the captions stay as they are.
    QCOMPARE(Action("N9")->shortcut(), QKeySequence(QKeySequence::SelectAll));
    QCOMPARE(Action("N9")->text(), Q(J("すべてにチェックマークを付ける(&A)")));
    QCOMPARE(Action("Zip1")->shortcuts(), (QList<QKeySequence>{Qt::Key_F5, Qt::CTRL | Qt::Key_R}));

    QTest::keyClick(&W(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(script_.dialogParents.size(), size_t{1});

    S().Label1.SetCaption(SmallZip());
    QTest::keyClick(&W(), Qt::Key_F5);
    QCOMPARE(Panel(0), Q(J("解析済み")));
    S().StatusBar1.ClearAll();
    W().SyncViews();
    QTest::keyClick(&W(), Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(Panel(0), Q(J("解析済み")));

    View("ListView2")->setFocus();
    QTest::keyClick(View("ListView2"), Qt::Key_A, Qt::ControlModifier);
    auto& listing = W().ListView2Model();
    for (int r = 0; r < listing.rowCount(); ++r) {
      QCOMPARE(listing.data(listing.index(r, 0), Qt::CheckStateRole).toInt(), static_cast<int>(Qt::Checked));
    }

    // Esc stops only a running command.
    QTest::keyClick(&W(), Qt::Key_Escape);
    QVERIFY(!S().AbortRequested);
    S().Label1.SetCaption(ManyStoredLzh(3000));
    S().ProcessMessages.SetThrottle(1, std::chrono::microseconds(0));
    QTimer::singleShot(0, this, [this] { QTest::keyClick(&W(), Qt::Key_Escape); });
    QTest::keyClick(&W(), Qt::Key_F5);
    QCOMPARE(Panel(0), Q(J("中断しました")));
    QVERIFY(W().ListView2Model().rowCount() < 3000);

    QTest::keyClick(&W(), Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!W().isVisible());
  }

  // "中断" (Esc) during each long command stops it between entries.
  void stopSplitKeepsTheFinishedOutputs() {
    ShowActive();
    AnalysedZipOfTicked(10);
    EscAfterLogLines(J("を出力しました"), 2);
    Action("N6")->trigger();
    QCOMPARE(FilesIn(dir_->Path()), (std::vector<std::string>{"e0.txt.zip", "e1.txt.zip", "ten.zip"}));
    QCOMPARE(S().Memo1.Lines().back(), J("中断しました"));
    const auto& lines = S().Memo1.Lines();
    QVERIFY(lines[lines.size() - 2].find("e1.txt.zip") != std::string::npos);
    QVERIFY(script_.boxes.empty());
  }

  void stopCombineRemovesTheUnfinishedOutput() {
    ShowActive();
    AnalysedZipOfTicked(10);
    const size_t logBefore = S().Memo1.Count();
    // At the first pump, after the first entry was copied.
    QTimer::singleShot(0, this, [this] { QTest::keyClick(&W(), Qt::Key_Escape); });
    Action("N7")->trigger();
    QCOMPARE(FilesIn(dir_->Path()), std::vector<std::string>{"ten.zip"});
    QCOMPARE(S().Memo1.Count(), logBefore + 1);
    QCOMPARE(S().Memo1.Lines().back(), J("中断しました"));
    QCOMPARE(Panel(2), QString());
  }

  // A large entry is stopped inside its copy, not once it is all copied.
  void stopCombineInsideALargeEntry() {
    ShowActive();
    brim::test::ZipBuilder z;
    z.Local(brim::test::ZipLocal::Stored("big.bin", brim::test::Bytes(8 << 20, 'b')));
    z.Finish();
    const std::string path = dir_->File("big.zip");
    brim::test::WriteFileBytes(path, z.bytes);
    app_->OpenFile(QString::fromStdString(path));
    Action("N9")->trigger();
    S().ProcessMessages.SetThrottle(1, std::chrono::microseconds(0));
    std::string progressAtEsc = "no pump";
    QTimer::singleShot(0, this, [&] {
      progressAtEsc = S().StatusBar1.Panel(brim::kPanelProgress);
      QTest::keyClick(&W(), Qt::Key_Escape);
    });
    Action("N7")->trigger();
    QCOMPARE(progressAtEsc, std::string());  // the row's "結合中" was not reached yet
    QCOMPARE(FilesIn(dir_->Path()), std::vector<std::string>{"big.zip"});
    QCOMPARE(S().Memo1.Lines().back(), J("中断しました"));
  }

  void stopRewriteKeepsTheRewrittenEntries() {
    ShowActive();
    AnalysedZipOfTicked(10);
    // Yes to the rewrite, No to analysing again, so the log stays.
    script_.answer = [n = 0](QMessageBox& box) mutable { box.buttons()[n++ == 0 ? 0 : 1]->click(); };
    EscAfterLogLines(J("の拡張子を変更しました。"), 2);
    Action("N2")->trigger();
    QCOMPARE(S().Memo1.Lines().back(), J("中断しました"));
    QCOMPARE(script_.boxes.size(), size_t{2});
    Action("Zip1")->trigger();
    auto& listing = W().ListView2Model();
    QCOMPARE(listing.rowCount(), 10);
    for (int r = 0; r < 10; ++r) {
      const QString name = listing.data(listing.index(r, 0), Qt::DisplayRole).toString();
      QCOMPARE(name, QString("e%1.tx%2").arg(r).arg(r < 2 ? "$" : "t"));
    }
  }

  void placeSplitterAndWidthsAreRemembered() {
    ShowActive();
    W().resize(760, 450);
    W().move(30, 40);
    auto* splitter = W().findChild<QSplitter*>("Splitter1");
    const int total = splitter->sizes()[0] + splitter->sizes()[1];
    splitter->setSizes({total - 120, 120});
    View("ListView2")->horizontalHeader()->resizeSection(0, 222);  // as a drag does
    W().close();

    app_ = brim::test::MakeApp(script_, false);
    ShowActive();
    QCOMPARE(W().size(), QSize(760, 450));
    QCOMPARE(W().pos(), QPoint(30, 40));
    QCOMPARE(W().findChild<QSplitter*>("Splitter1")->sizes()[1], 120);
    QCOMPARE(View("ListView2")->horizontalHeader()->sectionSize(0), 222);
    QCOMPARE(View("ListView2")->horizontalHeader()->sectionSize(1), 40);
    W().close();

    // A place off the screen (a screen since removed) comes back onto it.
    brim::qt::OpenSettings()->setValue("window/geometry", QRect(5000, -3000, 3000, 450));
    app_ = brim::test::MakeApp(script_, false);
    ShowActive();
    QVERIFY(W().screen()->availableGeometry().contains(W().frameGeometry()));
  }

  void columnsGrowToTheirValuesAndStartAgainWithTheNextListing() {
    W().show();
    QVERIFY(QTest::qWaitForWindowExposed(&W()));
    S().Label1.SetCaption(ManyStoredLzh(21845));
    Action("Zip1")->trigger();
    QCOMPARE(Panel(0), Q(J("解析済み")));
    struct Cell {
      const char* view;
      brim::qt::ListViewModel& model;
      int column, startWidth;
    };
    const Cell cells[] = {{"ListView2", W().ListView2Model(), 1, 40}, {"ListView5", W().ListView5Model(), 1, 30}};
    for (const Cell& c : cells) {
      const QString text = c.model.data(c.model.index(0, c.column), Qt::DisplayRole).toString();
      const int needed = View(c.view)->fontMetrics().horizontalAdvance(text);
      QVERIFY2(needed > c.startWidth - 6, qPrintable(text));  // the value would be cut at the start width
      QVERIFY2(View(c.view)->horizontalHeader()->sectionSize(c.column) > needed, qPrintable(text));
    }
    S().Label1.SetCaption(SmallZip());
    Action("Zip1")->trigger();
    for (const Cell& c : cells) QCOMPARE(View(c.view)->horizontalHeader()->sectionSize(c.column), c.startWidth);
  }

  void aboutClosesWithEscAndItsButton() {
    W().show();
    QWidget& about = app_->aboutWindow;
    Action("About1")->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    about.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&about));
    QTest::keyClick(&about, Qt::Key_Escape);
    QVERIFY(!about.isVisible());
    Action("About1")->trigger();
    auto* close = about.findChild<QPushButton*>("CloseButton");
    QCOMPARE(close->text(), Q(J("閉じる")));
    QVERIFY(QRect(QPoint(), about.size()).contains(close->geometry()));
    QTest::mouseClick(close, Qt::LeftButton);
    QVERIFY(!about.isVisible());
  }

  // The real desktop, with an xdg-open that fails as it does when no browser
  // is installed (exit status 3) or succeeds.
  void linkNoProgramCanOpenShowsAMessage_data() {
    QTest::addColumn<int>("exitStatus");
    QTest::addColumn<bool>("message");
    QTest::newRow("no browser") << 3 << true;
    QTest::newRow("opened") << 0 << false;
  }
  void linkNoProgramCanOpenShowsAMessage() {
    QFETCH(int, exitStatus);
    QFETCH(bool, message);
    const std::string opener = dir_->File("xdg-open");
    std::ofstream(opener) << "#!/bin/sh\nexit " << exitStatus << "\n";
    QFile::setPermissions(QString::fromStdString(opener), QFile::ReadOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(dir_->Path()));
    brim::qt::QtDesktop desktop;
    QStringList texts;
    desktop.runBox = [&texts](QMessageBox& box) { texts << box.text(); };
    desktop.Attach(&W(), {}, {});
    desktop.OpenUrl("https://brimlode.example.org/");
    qputenv("PATH", path);
    QTRY_VERIFY(W().findChildren<QProcess*>().isEmpty());
    QCoreApplication::processEvents();
    if (message) {
      QCOMPARE(texts, QStringList{Q(J("https://brimlode.example.org/ を開けるブラウザが見つかりません"))});
    } else {
      QVERIFY(texts.isEmpty());
    }
  }
};

std::unique_ptr<QObject> MakeDesktopWindowTest() { return std::make_unique<DesktopWindowTest>(); }

#include "desktop_window_test.moc"
