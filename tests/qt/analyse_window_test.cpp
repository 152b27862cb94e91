// "解析" through the real menu, and "中断" pressed while the walk runs.
#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "qt/list_model.h"
#include "qt_test_support.h"
#include "support/lzh_builder.h"
#include "support/zip_builder.h"

using brim::test::J;
using brim::test::Q;

class AnalyseWindowTest : public brim::test::WindowFixture {
  Q_OBJECT

 private slots:
  void init() { Start(); }
  void cleanup() { Stop(); }

  void analysisFillsTheViews() {
    brim::test::ZipBuilder z;
    z.Raw(brim::test::Bytes(1000, 'M'));  // a stub before the archive
    z.Local(brim::test::ZipLocal::Stored("a.txt", brim::test::BytesOf("hello")));
    z.Local(brim::test::ZipLocal::Deflated("dir/b.BIN", brim::test::BytesOf(std::string(300, 'b'))));
    z.Finish(1000);
    const std::string path = dir_->File("mail.zip");
    brim::test::WriteFileBytes(path, z.bytes);
    S().Label1.SetCaption(path);
    Action("Zip1")->trigger();

    QCOMPARE(Panel(0), Q(J("解析済み")));
    QCOMPARE(Panel(1), QString("1000"));
    auto& listing = W().ListView2Model();
    QCOMPARE(listing.rowCount(), 2);
    QCOMPARE(listing.data(listing.index(1, 0), Qt::DisplayRole).toString(), QString("b.BIN"));
    QCOMPARE(listing.data(listing.index(1, 4), Qt::DisplayRole).toString(), QString("dir\\"));
    QCOMPARE(W().ListView5Model().rowCount(), 2);
    QCOMPARE(W().findChild<QPlainTextEdit*>("Memo1")->toPlainText(),
             "---\n" + Q(J("ファイル先頭1000バイトにZIPに関係ないデータがあります")) + "\n" +
                 Q(J("中央ディレクトリは終端レコードの示す位置より1000バイト後ろにありました")));
    QVERIFY(script_.boxes.empty());
  }

  // The click on "中断" is handled while the walk processes messages; the
  // walk stops at the next header and keeps the rows listed so far.
  void abortDuringTheWalk() {
    brim::test::LzhBuilder b;
    for (int i = 0; i < 3000; ++i) {
      b.Add(brim::test::LzhEntry::Level1("f" + std::to_string(i) + ".txt", brim::test::BytesOf("x")));
    }
    b.EndMark();
    const std::string path = dir_->File("big.lzh");
    brim::test::WriteFileBytes(path, b.bytes);
    S().Label1.SetCaption(path);
    S().ProcessMessages.SetThrottle(1, std::chrono::microseconds(0));
    QTimer::singleShot(0, [this] {
      QTest::mouseClick(W().findChild<QPushButton*>("Button3"), Qt::LeftButton);
    });
    Action("Zip1")->trigger();

    QCOMPARE(Panel(0), Q(J("中断しました")));
    QCOMPARE(Panel(1), QString("Level=1"));
    const int listed = W().ListView2Model().rowCount();
    QVERIFY(listed < 3000);
    QCOMPARE(static_cast<size_t>(listed), S().ListView1.Count());
    // Analysing again runs to the end: the analysis clears the request first.
    Action("Zip1")->trigger();
    QCOMPARE(Panel(0), Q(J("解析済み")));
    QCOMPARE(W().ListView2Model().rowCount(), 3000);
  }
};

std::unique_ptr<QObject> MakeAnalyseWindowTest() { return std::make_unique<AnalyseWindowTest>(); }

#include "analyse_window_test.moc"
