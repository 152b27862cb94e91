// "書き換え" through the real menu: ticks by the tally button, the two
// questions answered by clicks, the listing read back from the rewritten file.
#include <QAction>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <algorithm>

#include "form/Unit1.h"
#include "qt/list_model.h"
#include "qt_test_support.h"
#include "support/zip_builder.h"

using brim::test::J;
using brim::test::Q;

class RewriteWindowTest : public brim::test::WindowFixture {
  Q_OBJECT

 private:
  std::string path_;

  // Answers the questions in turn by clicking "はい" (0) or "いいえ" (1).
  void Answer(std::vector<int> buttons) {
    script_.answer = [buttons, n = size_t{0}](QMessageBox& box) mutable {
      if (box.buttons().size() == 2 && n < buttons.size()) box.buttons()[buttons[n++]]->click();
      else if (!box.buttons().isEmpty()) box.buttons().front()->click();
    };
  }

 private slots:
  void init() {
    Start();
    path_ = dir_->File("mail.zip");
    brim::test::ZipBuilder z;
    z.Local(brim::test::ZipLocal::Deflated("setup.exe", brim::test::Bytes(3000, 'e')));
    z.Local(brim::test::ZipLocal::Stored("note.txt", brim::test::BytesOf("hello")));
    z.Finish();
    brim::test::WriteFileBytes(path_, z.bytes);
    W().show();
    QVERIFY(QTest::qWaitForWindowExposed(&W()));
    S().Label1.SetCaption(path_);
    Action("Zip1")->trigger();
    QCOMPARE(S().StatusBar1.Panel(0), J("解析済み"));
  }
  void cleanup() { Stop(); }

  void rewriteTickedByExtensionThenReanalyse() {
    // Tick the tally row "exe" by its check box, then "(←)リストに反映!".
    auto& tally = W().ListView5Model();
    int exeRow = -1;
    for (int r = 0; r < tally.rowCount(); ++r) {
      if (tally.index(r, 0).data().toString() == "exe") exeRow = r;
    }
    QVERIFY(exeRow >= 0);
    QVERIFY(tally.setData(tally.index(exeRow, 0), Qt::Checked, Qt::CheckStateRole));
    QTest::mouseClick(W().findChild<QPushButton*>("Button2"), Qt::LeftButton);
    QCOMPARE(W().ListView2Model().index(0, 0).data(Qt::CheckStateRole).toInt(), static_cast<int>(Qt::Checked));
    QCOMPARE(W().ListView2Model().index(1, 0).data(Qt::CheckStateRole).toInt(), static_cast<int>(Qt::Unchecked));

    const QString compressed = W().ListView2Model().index(0, 2).data().toString();
    Answer({0, 0});
    Action("N2")->trigger();
    QCOMPARE(script_.boxes.size(), size_t{2});
    QCOMPARE(script_.boxes[0].text, Q(J("書き換えを実行します。よろしいですか？")));
    QCOMPARE(script_.boxes[1].text, Q(J("書き換えた内容を解析しますか？")));
    // The listing now shows the rewritten archive.
    auto& listing = W().ListView2Model();
    QCOMPARE(listing.index(0, 0).data().toString(), QString("setup.ex$"));
    // Stored zeros, as many as the compressed bytes were.
    QCOMPARE(listing.index(0, 2).data().toString(), compressed);
    QCOMPARE(listing.index(0, 3).data().toString(), compressed);
    QCOMPARE(listing.index(1, 0).data().toString(), QString("note.txt"));
    QCOMPARE(S().Memo1.Line(0), std::string("---"));
  }

  // "いいえ" and the title bar's close button both leave the file as it was.
  void noOrClosingTheFirstQuestionLeavesTheFile() {
    const brim::test::Bytes before = brim::test::ReadFileBytes(path_);
    Action("N9")->trigger();
    for (bool close : {false, true}) {
      script_.boxes.clear();
      if (close) {
        script_.answer = [](QMessageBox& box) {
          box.show();
          QVERIFY(QTest::qWaitForWindowExposed(&box));
          box.close();
        };
      } else {
        Answer({1});
      }
      Action("N2")->trigger();
      QCOMPARE(script_.boxes.size(), size_t{1});
      QVERIFY(brim::test::ReadFileBytes(path_) == before);
    }
  }

  // "はい" to analysing again keeps the record of what was neutralised: the
  // new analysis's log starts below it, and "出力" saves both.
  void yesToTheSecondKeepsTheRewriteLinesAboveTheNewLog() {
    Action("N9")->trigger();
    const std::vector<std::string> before = S().Memo1.Lines();
    Answer({0, 0});
    Action("N2")->trigger();
    QCOMPARE(script_.boxes.size(), size_t{2});
    QCOMPARE(W().ListView2Model().index(0, 0).data().toString(), QString("setup.ex$"));
    const std::vector<std::string>& lines = S().Memo1.Lines();
    const std::string overwritten = "setup.exe" + J("を00で上書きしました。");
    const auto rewriteLine = std::find(lines.begin(), lines.end(), overwritten);
    QVERIFY(rewriteLine != lines.end());
    QVERIFY(std::equal(before.begin(), before.end(), lines.begin()));  // the first analysis's too
    // The new analysis starts at the separator after the rewrite's last line.
    const auto separator = std::find(rewriteLine, lines.end(), std::string("---"));
    QVERIFY(separator != lines.end());
    QVERIFY(std::find(separator, lines.end(), overwritten) == lines.end());
    Action("N4")->trigger();
    std::string saved;
    for (const std::string& line : lines) saved += line + "\r\n";
    const brim::test::Bytes file = brim::test::ReadFileBytes(dir_->File("mail(Unzip).log"));
    QCOMPARE(std::string(file.begin(), file.end()), saved);
  }

  void noToTheSecondKeepsTheOldListingAndTheLog() {
    Action("N9")->trigger();
    Answer({0, 1});
    Action("N2")->trigger();
    QCOMPARE(script_.boxes.size(), size_t{2});
    QCOMPARE(W().ListView2Model().index(0, 0).data().toString(), QString("setup.exe"));
    QCOMPARE(S().Memo1.Line(1), "setup.exe" + J("を00で上書きしました。"));
  }
};

std::unique_ptr<QObject> MakeRewriteWindowTest() { return std::make_unique<RewriteWindowTest>(); }

#include "rewrite_window_test.moc"
