// "再生成" through the real menu: analyse, tick, split and combine.
#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <filesystem>

#include "qt/list_model.h"
#include "qt_test_support.h"
#include "support/zip_builder.h"

using brim::test::J;
using brim::test::Q;

class RegenerateWindowTest : public brim::test::WindowFixture {
  Q_OBJECT

 private:
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
  void init() { Start(); }
  void cleanup() { Stop(); }

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

  // Another archive chosen after the analysis: the old listing must not cut
  // the new file. Both commands refuse, and nothing is written.
  void aStaleListingIsRefused() {
    AnalysedPack();
    const std::string other = dir_->File("other.lzh");
    brim::test::WriteFileBytes(other, brim::test::Bytes(2000, 'L'));
    script_.chosenFile = QString::fromStdString(other);
    QTest::mouseClick(W().findChild<QPushButton*>("Button1"), Qt::LeftButton);
    QCOMPARE(S().Label1.Caption(), other);
    Action("N9")->trigger();
    Action("N6")->trigger();
    Action("N7")->trigger();
    QCOMPARE(script_.boxes.size(), size_t{2});
    for (const auto& box : script_.boxes) QCOMPARE(box.text, Q(J("解析されていません")));
    size_t names = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir_->Path())) ++names;
    QCOMPARE(names, size_t{2});
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
