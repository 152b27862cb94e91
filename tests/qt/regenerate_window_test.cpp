// "再生成" through the real menu: analyse, tick, split and combine.
#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>

#include "qt/list_model.h"
#include "qt_test_support.h"
#include "support/zip_builder.h"

using brim::test::J;
using brim::test::Q;

class RegenerateWindowTest : public QObject {
  Q_OBJECT

 private:
  brim::test::Script script_;
  std::unique_ptr<brim::qt::BrimlodeApp> app_;
  std::unique_ptr<brim::test::TempDir> dir_;

  brim::qt::MainWindow& W() { return app_->mainWindow; }
  brim::ProgramState& S() { return app_->form.state; }
  QAction* Action(const char* name) { return W().findChild<QAction*>(name); }
  QString Panel(int i) {
    return W().findChild<QLabel*>(qPrintable(QString("StatusBar1Panel%1").arg(i)))->text();
  }
  QString Log() { return W().findChild<QPlainTextEdit*>("Memo1")->toPlainText(); }

  // pack.zip with readme.txt, pack (the archive's own name without ".zip")
  // and notes.txt, analysed through the menu.
  std::string AnalysedPack() {
    brim::test::ZipBuilder z;
    z.Local(brim::test::ZipLocal::Stored("readme.txt", brim::test::BytesOf("read me\n")));
    z.Local(brim::test::ZipLocal::Deflated("pack", brim::test::BytesOf(std::string(400, 'p'))));
    z.Local(brim::test::ZipLocal::Stored("docs/notes.txt", brim::test::BytesOf("notes\n")));
    z.Finish();
    const std::string path = dir_->File("pack.zip");
    brim::test::WriteFileBytes(path, z.bytes);
    S().Label1.SetCaption(path);
    Action("Zip1")->trigger();
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

  void splitThroughTheMenu() {
    const std::string path = AnalysedPack();
    QCOMPARE(Panel(0), Q(J("解析済み")));
    QCOMPARE(W().ListView2Model().rowCount(), 3);
    // Ticked as a click in the listing would tick them.
    auto& model = W().ListView2Model();
    QVERIFY(model.setData(model.index(0, 0), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(model.setData(model.index(2, 0), Qt::Checked, Qt::CheckStateRole));
    Action("kuria1")->trigger();
    Action("N6")->trigger();
    const QString readme = QString::fromStdString(dir_->File("readme.txt.zip"));
    const QString notes = QString::fromStdString(dir_->File("notes.txt.zip"));
    QCOMPARE(Log(), readme + Q(J("を出力中")) + "\n" + readme + Q(J("を出力しました")) + "\n" +
                        notes + Q(J("を出力中")) + "\n" + notes + Q(J("を出力しました")));
    QCOMPARE(W().findChild<QProgressBar*>("Gauge1")->value(), 100);
    QVERIFY(script_.boxes.empty());
    if (!brim::test::OnPath("unzip")) QSKIP("unzip is not installed: its verdict is left out");
    std::string out;
    QCOMPARE(brim::test::RunShell("unzip -t '" + readme.toStdString() + "'", &out), 0);
  }

  // The entry named pack would be written over pack.zip: the error box, and
  // the archive intact.
  void splitNeverWritesOverTheArchive() {
    const std::string path = AnalysedPack();
    const brim::test::Bytes before = brim::test::ReadFileBytes(path);
    Action("N9")->trigger();  // すべてにチェックマークを付ける
    Action("N6")->trigger();
    QCOMPARE(script_.boxes.size(), size_t{1});
    QCOMPARE(script_.boxes[0].objectName, QString("ErrorBox"));
    QCOMPARE(script_.boxes[0].text, Q(J("ファイル ")) + QString::fromStdString(path) +
                                        Q(J(" を作成できません.")));
    QVERIFY(brim::test::ReadFileBytes(path) == before);
  }

  void combineThroughTheMenu() {
    AnalysedPack();
    Action("N9")->trigger();
    Action("kuria1")->trigger();
    Action("N7")->trigger();
    const QString combined = QString::fromStdString(dir_->File("pack(ReCreate00).zip"));
    QCOMPARE(Log(), combined + Q(J("を出力しました")));
    QCOMPARE(Panel(2), QString());
    QVERIFY(script_.boxes.empty());
    if (!brim::test::OnPath("unzip")) QSKIP("unzip is not installed: its verdict is left out");
    std::string out;
    QCOMPARE(brim::test::RunShell("unzip -t '" + combined.toStdString() + "'", &out), 0);
    QVERIFY(out.find("readme.txt") != std::string::npos);
  }
};

std::unique_ptr<QObject> MakeRegenerateWindowTest() {
  return std::make_unique<RegenerateWindowTest>();
}

#include "regenerate_window_test.moc"
