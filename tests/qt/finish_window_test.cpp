// The window's finish: row marks in the listing, the dangerous-extension
// tick, recent files, access keys and F10, --help and --version, the file
// dialog's file types in Japanese, and message boxes wide enough for their
// title.
#include <QAction>
#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <functional>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include <QClipboard>
#include <QDropEvent>
#include <QMimeData>
#include <unistd.h>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPalette>
#include <QProgressBar>

#include "app/entry_marks.h"
#include "qt/list_model.h"
#include "qt/recent_files.h"
#include "qt_test_support.h"
#include "support/zip_builder.h"

using brim::test::J;
using brim::test::Q;

class FinishWindowTest : public brim::test::WindowFixture {
  Q_OBJECT

 private:
  std::string Zip(const std::string& name, std::vector<std::string> entries) {
    brim::test::ZipBuilder z;
    for (const std::string& e : entries) z.Local(brim::test::ZipLocal::Stored(e, brim::test::BytesOf("x")));
    z.Finish();
    const std::string path = dir_->File(name);
    brim::test::WriteFileBytes(path, z.bytes);
    return path;
  }
  QVariant Data(int row, int column, int role) {
    auto& m = W().ListView2Model();
    return m.data(m.index(row, column), role);
  }

 private slots:
  void init() { Start(); }
  void cleanup() { Stop(); }

  // What an office worker meets around the listing: each row does one thing
  // through the window and reads what it shows.
  void whatTheWindowSays_data() {
    QTest::addColumn<int>("at");
    QTest::addColumn<QStringList>("shown");
    const auto row = [](const char* name, int at, QStringList shown) { QTest::newRow(name) << at << shown; };
    row("another file chosen: the rows are the old file's", 0,
        {Q(J("この一覧は前のファイル old.zip のものです")), "new.zip - Brimlode", "grey"});
    row("analysis on choosing, when asked for", 1, {"", "new.zip - Brimlode", Q(J("解析済み")), "100"});
    row("file replaced since its analysis", 2, {Q(J("ファイル ")) + "%1" + Q(J(" は解析後に変更されています。もう一度解析してください"))});
    row("log into a folder gone", 3, {Q(J("ファイル ")) + "%1" + Q(J(" を作成できません（そのようなフォルダはありません）."))});
    row("combine into a folder nobody may write", 4,
        {Q(J("ファイル ")) + "%1" + Q(J(" を作成できません（アクセスが拒否されました）."))});
    row("gauge after an analysis and a combine", 5, {"100", "100"});
    row("summary, then filtered", 6,
        {Q(J("3 件（チェック 1）　圧縮 3 バイト　元 3 バイト")), Q(J("1 / 3 件　圧縮 1 バイト　元 1 バイト"))});
    row("row menu", 7, {Q(J("チェック")), Q(J("名前をコピー")), "b.exe", Q(J("チェックを外す"))});
    row("fits a screen 640 pixels wide", 8, {"fits"});
  }
  void whatTheWindowSays() {
    QFETCH(int, at);
    QFETCH(QStringList, shown);
    const auto lastBox = [this] { return script_.boxes.empty() ? QString() : script_.boxes.back().text; };
    QString path;  // what "%1" stands for
    QStringList seen;
    switch (at) {
      case 0:
      case 1: {
        if (at == 1) Action("AnalyseOnSelect")->setChecked(true);
        app_->OpenFile(QString::fromStdString(Zip("old.zip", {"a.txt"})));
        const std::string other = Zip("new.zip", {"b.txt"});
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(other))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&W(), &enter);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&W(), &drop);
        seen << W().findChild<QLabel*>("WhoseListing")->text() << W().windowTitle();
        if (at == 0) {
          const QBrush brush = Data(0, 0, Qt::ForegroundRole).value<QBrush>();
          seen << (brush == QApplication::palette().brush(QPalette::Disabled, QPalette::Text) ? "grey" : "plain");
        } else {
          seen << Panel(0) << QString::number(W().findChild<QProgressBar*>("Gauge1")->value());
        }
        break;
      }
      case 2: {
        const std::string zip = Zip("pack.zip", {"a.txt"});
        app_->OpenFile(QString::fromStdString(zip));
        Action("N9")->trigger();
        brim::test::WriteFileBytes(zip + ".new", brim::test::BytesOf("replaced"));
        std::filesystem::rename(zip + ".new", zip);
        Action("N6")->trigger();
        path = QString::fromStdString(zip);
        seen << lastBox();
        break;
      }
      case 3: {
        std::filesystem::create_directory(dir_->File("gone"));
        const std::string zip = Zip("gone/pack.zip", {"a.txt"});
        app_->OpenFile(QString::fromStdString(zip));
        std::filesystem::remove_all(dir_->File("gone"));
        Action("N4")->trigger();
        path = QString::fromStdString(dir_->File("gone/pack(Unzip).log"));
        seen << lastBox();
        break;
      }
      case 4: {
        std::filesystem::create_directory(dir_->File("locked"));
        const std::string zip = Zip("locked/pack.zip", {"a.txt"});
        app_->OpenFile(QString::fromStdString(zip));
        Action("N9")->trigger();
        // Nobody may write there: not even root, when the folder is immutable.
        const std::string folder = dir_->File("locked");
        std::filesystem::permissions(folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        const bool immutable = ::access(folder.c_str(), W_OK) == 0 &&
                               std::system(("chattr +i '" + folder + "' 2>/dev/null").c_str()) == 0;
        struct Unlock {
          std::string folder;
          bool immutable;
          ~Unlock() {
            if (immutable) (void)std::system(("chattr -i '" + folder + "'").c_str());
            std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
          }
        } unlock{folder, immutable};
        if (::access(folder.c_str(), W_OK) == 0 && !immutable) QSKIP("no folder here refuses writing");
        Action("N7")->trigger();
        path = QString::fromStdString(dir_->File("locked/pack(ReCreate00).zip"));
        seen << lastBox();
        break;
      }
      case 5: {
        app_->OpenFile(QString::fromStdString(Zip("pack.zip", {"a.txt", "b.txt", "c.txt"})));
        auto* gauge = W().findChild<QProgressBar*>("Gauge1");
        seen << QString::number(gauge->value());
        Action("N9")->trigger();
        S().Gauge1.SetProgress(0);
        Action("N7")->trigger();
        seen << QString::number(gauge->value());
        break;
      }
      case 6: {
        app_->OpenFile(QString::fromStdString(Zip("pack.zip", {"a.txt", "b.exe", "c.txt"})));
        S().ListView2.SetChecked(1, true);
        W().SyncViews();
        auto* summary = W().findChild<QLabel*>("StatusBar1Summary");
        seen << summary->text();
        W().findChild<QLineEdit*>("FilterBox")->setText("*.exe");
        seen << summary->text().replace(Q(J("（チェック 1）")), "");
        break;
      }
      case 7: {
        app_->OpenFile(QString::fromStdString(Zip("pack.zip", {"a.txt", "b.exe"})));
        std::unique_ptr<QMenu> menu = W().RowMenu(1);
        for (QAction* a : menu->actions()) seen << a->text();
        menu->findChild<QAction*>("RowCopyName")->trigger();
        seen << QGuiApplication::clipboard()->text();
        menu->findChild<QAction*>("RowCheck")->trigger();
        QVERIFY(S().ListView2.Checked(1));
        seen << W().RowMenu(1)->actions().front()->text();
        break;
      }
      case 8: {
        W().FitPathToScreen(QRect(0, 0, 640, 400));
        seen << (W().minimumSizeHint().width() <= 640 - 16 ? "fits" : QString::number(W().minimumSizeHint().width()));
        break;
      }
    }
    for (QString& s : shown) s.replace("%1", path);
    QCOMPARE(seen, shown);
  }

  // Rows given marks and name copies directly, as the analysis leaves them.
  void marksShowAsASignATooltipAndADistinctLook() {
    auto& rows = S().ListView2;
    brim::test::AddEntry(rows, "plain.txt");
    brim::test::AddEntry(rows, J("請求書.pdf.exe"));
    brim::test::AddEntry(rows, "only.zip");
    rows.AddMarks(1, brim::kMarkDoubleExtension | brim::kMarkNamesDiffer);
    rows.AddNameCopy(1, {brim::NameCopyKind::Central, brim::NameEncoding::Cp932, "other.txt", 0x1A2});
    rows.AddMarks(2, brim::kMarkDirectoryOnly | brim::kMarkNestedArchive);
    W().SyncViews();

    QVERIFY(!Data(0, 0, Qt::DecorationRole).isValid());
    QVERIFY(!Data(0, 1, Qt::ToolTipRole).isValid());
    QVERIFY(!Data(0, 0, Qt::FontRole).isValid());
    QVERIFY(!Data(1, 0, Qt::DecorationRole).value<QIcon>().isNull());
    QVERIFY(!Data(1, 2, Qt::DecorationRole).isValid());  // the sign goes by the name only
    const QString tip = Data(1, 3, Qt::ToolTipRole).toString();  // any cell of the row
    for (brim::EntryMark mark : {brim::kMarkDoubleExtension, brim::kMarkNamesDiffer}) {
      QVERIFY2(tip.contains(Q(brim::MarkText(mark))), qPrintable(tip));
    }
    QVERIFY(!tip.contains(Q(brim::MarkText(brim::kMarkDirectoryOnly))));
    // The other name in plain words: no record kind, no hex position.
    QVERIFY2(tip.contains(Q(J("一部の展開ソフトでは「other.txt」という名前で書き出されます"))), qPrintable(tip));
    QVERIFY2(!tip.contains(Q(J("中央ディレクトリ"))) && !tip.contains("1A2"), qPrintable(tip));
    QVERIFY(!Data(1, 0, Qt::FontRole).isValid());  // marked, yet drawn as usual

    // Known from the central directory alone: italic and greyed, every cell.
    for (int column = 0; column < 5; ++column) {
      QVERIFY(Data(2, column, Qt::FontRole).value<QFont>().italic());
      QVERIFY(Data(2, column, Qt::ForegroundRole).isValid());
    }
    QVERIFY(Data(2, 0, Qt::ToolTipRole).toString().contains(Q(brim::MarkText(brim::kMarkDirectoryOnly))));
  }

  void dangerousButtonTicksListedExtensionsAndNamesThem() {
    app_->OpenFile(QString::fromStdString(Zip("mail.zip", {"a.txt", "b.EXE", "doc/c.js", "d.pdf"})));
    QCOMPARE(Panel(0), Q(J("解析済み")));
    auto* button = W().findChild<QPushButton*>("DangerousButton");
    QVERIFY(button);
    QCOMPARE(button->text(), Q(J("危険な拡張子")));
    QVERIFY(button->toolTip().contains(" exe "));
    QVERIFY(button->toolTip().contains("vhdx"));
    QTest::mouseClick(button, Qt::LeftButton);
    const bool ticked[] = {false, true, true, false};
    for (int r = 0; r < 4; ++r) {
      QCOMPARE(Data(r, 0, Qt::CheckStateRole).toInt(), static_cast<int>(ticked[r] ? Qt::Checked : Qt::Unchecked));
    }
  }

  // The last eight analysed, newest first; one gone since is taken off the
  // list with a message when chosen.
  void recentFilesKeepEightAndForgetAFileThatIsGone() {
    std::vector<std::string> paths;
    for (int i = 0; i < 10; ++i) {
      paths.push_back(Zip("r" + std::to_string(i) + ".zip", {"a.txt"}));
      app_->OpenFile(QString::fromStdString(paths.back()));
    }
    app_->OpenFile(QString::fromStdString(paths[5]));  // again: moves to the front
    QStringList expected;
    for (int i : {5, 9, 8, 7, 6, 4, 3, 2}) expected << QString::fromStdString(paths[i]);
    QCOMPARE(brim::qt::RecentFiles(), expected);

    auto* recent = W().findChild<QMenu*>("Recent1");
    QVERIFY(recent);
    emit recent->aboutToShow();
    QCOMPARE(recent->actions().size(), 8);
    QCOMPARE(recent->actions()[1]->text(), "&2 " + expected[1]);

    std::filesystem::remove(paths[9]);
    recent->actions()[1]->trigger();
    QCOMPARE(script_.boxes.size(), size_t{1});
    QCOMPARE(script_.boxes[0].text, QString::fromStdString(paths[9]) +
                                        Q(J(" が見つからないため、最近使ったファイルから外しました")));
    expected.removeAt(1);
    QCOMPARE(brim::qt::RecentFiles(), expected);
    QCOMPARE(S().Label1.Caption(), paths[5]);  // the selection stays

    recent->actions()[0]->trigger();  // still there: selected and analysed
    QCOMPARE(Panel(0), Q(J("解析済み")));
  }

  // Every menu item has an access key, none twice in one menu; F10 opens
  // the first menu.
  void menusHaveAccessKeysAndF10OpensThem() {
    W().show();
    W().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&W()));
    const QRegularExpression key(R"(\(&([A-Z])\)$)");
    const std::function<void(const QList<QAction*>&)> check = [&](const QList<QAction*>& actions) {
      QSet<QString> keys;
      for (QAction* a : actions) {
        if (a->isSeparator()) continue;
        const auto m = key.match(a->text());
        QVERIFY2(m.hasMatch(), qPrintable(a->text()));
        QVERIFY2(!keys.contains(m.captured(1)), qPrintable(a->text()));
        keys.insert(m.captured(1));
        if (a->menu() && a->objectName() != "Recent1") check(a->menu()->actions());
      }
    };
    check(W().menuBar()->actions());
    QTest::keyClick(&W(), Qt::Key_F10);
    QCOMPARE(W().menuBar()->activeAction(), W().menuBar()->actions().front());
    QTRY_VERIFY(W().menuBar()->actions().front()->menu()->isVisible());
    W().menuBar()->actions().front()->menu()->close();
  }

  void helpAndVersionPrintInsteadOfOpening_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("starts");
    QTest::newRow("--help") << QStringList{"brimlode", "--help"} << "Usage: brimlode [FILE]";
    QTest::newRow("-h after a file") << QStringList{"brimlode", "a.zip", "-h"} << "Usage: brimlode [FILE]";
    QTest::newRow("--version") << QStringList{"brimlode", "--version"} << "Brimlode v0.40\n";
    QTest::newRow("a file") << QStringList{"brimlode", "a.zip"} << QString();
    QTest::newRow("after --") << QStringList{"brimlode", "--", "--help"} << QString();
  }
  void helpAndVersionPrintInsteadOfOpening() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, starts);
    const std::optional<QString> text = brim::qt::InformationRequested(arguments);
    QCOMPARE(text.has_value(), !starts.isEmpty());
    if (text) QVERIFY2(text->startsWith(starts), qPrintable(*text));
  }

  void fileDialogNamesFoldersInJapanese() {
    brim::qt::InstallQtTranslations(*QCoreApplication::instance());
    QCOMPARE(QCoreApplication::translate("QAbstractFileIconProvider", "Folder", "All other platforms"),
             Q(J("フォルダー")));
    QCOMPARE(QCoreApplication::translate("QAbstractFileIconProvider", "Drive"), Q(J("ドライブ")));
    QCOMPARE(QCoreApplication::translate("SomethingElse", "Folder"), QString("Folder"));
  }

  // A one-word message still gives the frame room for "Brimlode".
  void smallBoxesLeaveRoomForTheirTitle() {
    int wanted = 0;
    script_.answer = [&wanted](QMessageBox& box) {
      wanted = box.fontMetrics().horizontalAdvance(box.windowTitle()) + brim::qt::kTitleBarExtra;
      QVERIFY2(box.sizeHint().width() >= wanted, qPrintable(QString::number(box.sizeHint().width())));
      box.buttons().front()->click();
    };
    app_->desktop.ShowMessage("OK");
    app_->desktop.ShowError("x");
    QCOMPARE(script_.boxes.size(), size_t{2});
    QVERIFY(wanted > brim::qt::kTitleBarExtra);
  }

  // What the window is wider than at first goes to the path field.
  void pathFieldWidensWithTheWindow() {
    W().show();
    QVERIFY(QTest::qWaitForWindowExposed(&W()));
    auto* label = W().findChild<QLabel*>("Label1");
    auto* panel = W().findChild<QWidget*>("Panel2");
    QCOMPARE(label->width(), 505);
    W().resize(1100, W().height());
    QTRY_COMPARE(panel->width(), 1100);
    QCOMPARE(label->width(), 505 + 1100 - 868);
    auto* button = W().findChild<QPushButton*>("Button1");
    QTRY_VERIFY(label->mapTo(panel, QPoint(label->width(), 0)).x() <= button->mapTo(panel, QPoint()).x());
  }
};

std::unique_ptr<QObject> MakeFinishWindowTest() { return std::make_unique<FinishWindowTest>(); }

#include "finish_window_test.moc"
