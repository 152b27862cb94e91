// The views over the core models: the list adapters and the log pane.
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTest>
#include <QTextBlock>

#include "qt/list_model.h"
#include "qt/listing_proxy.h"
#include "qt/log_view.h"
#include "app/entry_tables.h"
#include "qt_test_support.h"

using brim::test::J;
using brim::test::Q;

class ViewTest : public brim::test::WindowFixture {
  Q_OBJECT

 private:
  QTableView* View(const char* name) { return W().findChild<QTableView*>(name); }
  QStringList Blocks() {
    QStringList out;
    auto* memo = W().findChild<QPlainTextEdit*>("Memo1");
    for (QTextBlock b = memo->document()->begin(); b.isValid(); b = b.next()) out << b.text();
    return out;
  }
  // "50%", "1,024", "2,048", no folder.
  void AddListing(const std::string& name) { brim::test::AddListed(S().ListView2, name, 1024, 2048); }
  // Where the delegate draws row's check box in view.
  QPoint CheckBoxCentre(QTableView* view, int row) {
    const QModelIndex index = view->model()->index(row, 0);
    QStyleOptionViewItem opt;
    opt.initFrom(view->viewport());
    opt.rect = view->visualRect(index);
    opt.features |= QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    opt.checkState = Qt::Unchecked;
    opt.text = index.data().toString();
    opt.font = view->font();
    return view->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, view).center();
  }

 private slots:
  void init() { Start(); }
  void cleanup() { Stop(); }

  // The view's order and filter over the archive's rows: each step leaves
  // these names in view order; a tick through the view lands on its own row.
  void listingSortsAndFiltersOverTheArchiveRows() {
    struct Row {
      const char* name;
      uint32_t stored, original;
    };
    for (const Row& r : {Row{"b.txt", 300, 300}, Row{"A.exe", 100, 400}, Row{"c.EXE", 200, 200}, Row{"read.me", 100, 100}}) {
      brim::test::AddListed(S().ListView2, r.name, r.stored, r.original);
    }
    W().SyncViews();
    brim::qt::ListingProxy& view = W().Listing();
    QAbstractItemModelTester tester(&view, QAbstractItemModelTester::FailureReportingMode::QtTest);
    struct Step {
      int column;  // -1: the archive's order; -2: leave the sort
      Qt::SortOrder order;
      const char* filter;
      QStringList shown;
    };
    const Step steps[] = {
        {-2, Qt::AscendingOrder, "", {"b.txt", "A.exe", "c.EXE", "read.me"}},
        {0, Qt::AscendingOrder, "", {"A.exe", "b.txt", "c.EXE", "read.me"}},      // case ignored
        {0, Qt::DescendingOrder, "", {"read.me", "c.EXE", "b.txt", "A.exe"}},
        {2, Qt::AscendingOrder, "", {"A.exe", "read.me", "c.EXE", "b.txt"}},      // ties in archive order
        {2, Qt::DescendingOrder, "", {"b.txt", "c.EXE", "A.exe", "read.me"}},     // ...both ways
        {1, Qt::AscendingOrder, "", {"b.txt", "c.EXE", "read.me", "A.exe"}},      // space saved 0, 0, 0, 75
        {-1, Qt::AscendingOrder, "*.exe", {"A.exe", "c.EXE"}},                   // by extension
        {-2, Qt::AscendingOrder, ".ME", {"read.me"}},
        {-2, Qt::AscendingOrder, "E", {"A.exe", "c.EXE", "read.me"}},             // a part of the name
        {3, Qt::DescendingOrder, "E", {"A.exe", "c.EXE", "read.me"}},
        {-1, Qt::AscendingOrder, "", {"b.txt", "A.exe", "c.EXE", "read.me"}},
    };
    for (const Step& step : steps) {
      if (step.column != -2) view.SortBy(step.column, step.order);
      view.SetFilter(step.filter);
      QStringList shown;
      for (int r = 0; r < view.rowCount(); ++r) shown << view.index(r, 0).data().toString();
      QCOMPARE(shown, step.shown);
    }
    // Ticked through the sorted, filtered view: the archive's row 2 (c.EXE).
    view.SortBy(0, Qt::DescendingOrder);
    view.SetFilter("*.exe");
    QVERIFY(view.setData(view.index(0, 0), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(S().ListView2.Checked(2));
    QCOMPARE(brim::CountChecked(S()), size_t{1});
    // Rows an analysis appends while sorted wait at the end, then take their place.
    brim::test::AddListed(S().ListView2, "z.exe", 1, 1);
    W().SyncViews();
    QCOMPARE(view.index(2, 0).data().toString(), QString("z.exe"));
    view.SortAgain();
    QCOMPARE(view.index(0, 0).data().toString(), QString("z.exe"));
  }

  void listModelsPassTheModelTesterThroughEveryKindOfChange() {
    using Tester = QAbstractItemModelTester;
    Tester t2(&W().ListView2Model(), Tester::FailureReportingMode::QtTest);
    Tester t5(&W().ListView5Model(), Tester::FailureReportingMode::QtTest);
    auto& m2 = W().ListView2Model();
    auto& m5 = W().ListView5Model();

    AddListing("a.TXT");
    AddListing(J("表.txt"));
    S().ListView5.Add("txt", 2);
    W().SyncViews();
    QCOMPARE(m2.rowCount(), 2);
    QCOMPARE(m2.index(1, 0).data().toString(), Q(J("表.txt")));
    QCOMPARE(m2.index(0, 2).data().toString(), QString("1,024"));
    QCOMPARE(m2.index(0, 0).data(Qt::CheckStateRole).toInt(), static_cast<int>(Qt::Unchecked));
    QCOMPARE(m2.index(0, 1).data(Qt::CheckStateRole), QVariant());
    QCOMPARE(m2.index(0, 1).data(Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask,
             static_cast<int>(Qt::AlignRight));
    QVERIFY(m2.flags(m2.index(0, 0)) & Qt::ItemIsUserCheckable);
    QVERIFY(!(m2.flags(m2.index(0, 0)) & Qt::ItemIsEditable));
    QVERIFY(m5.flags(m5.index(0, 0)) & Qt::ItemIsEditable);
    QVERIFY(!(m5.flags(m5.index(0, 1)) & Qt::ItemIsEditable));

    // Rows appended and cells changed in one go, then a clear and a shorter refill.
    S().ListView5.SetNumber(0, 3);
    S().ListView5.Add("gz", 1);
    AddListing("c.gz");
    S().ListView2.SetChecked(0, true);
    W().SyncViews();
    QCOMPARE(m5.index(0, 1).data().toString(), QString("3"));
    QCOMPARE(m5.rowCount(), 2);
    QCOMPARE(m2.index(0, 0).data(Qt::CheckStateRole).toInt(), static_cast<int>(Qt::Checked));

    S().ListView2.Clear();
    S().ListView5.Clear();
    AddListing("only.zip");
    W().SyncViews();
    QCOMPARE(m2.rowCount(), 1);
    QCOMPARE(m2.index(0, 0).data().toString(), QString("only.zip"));
    QCOMPARE(m5.rowCount(), 0);

    // A row whose cells are absent.
    brim::test::AddEntry(S().ListView2, "short");
    W().SyncViews();
    QCOMPARE(m2.index(1, 4).data().toString(), QString());
  }

  void syncTellsTheViewInBatchesNeverRowByRow() {
    auto& m2 = W().ListView2Model();
    QSignalSpy inserted(&m2, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&m2, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(&m2, &QAbstractItemModel::modelReset);
    W().show();
    for (int batch = 0; batch < 3; ++batch) {
      for (int i = 0; i < 1000; ++i) AddListing("f" + std::to_string(batch * 1000 + i) + ".txt");
      app_->desktop.ProcessMessages();
    }
    QCOMPARE(m2.rowCount(), 3000);
    QCOMPARE(inserted.count(), 3);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(inserted[2][1].toInt(), 2000);
    QCOMPARE(inserted[2][2].toInt(), 2999);

    for (int row = 0; row < 3000; ++row) S().ListView2.SetChecked(row, true);
    app_->desktop.ProcessMessages();
    QCOMPARE(changed.count(), 1);
    app_->desktop.ProcessMessages();  // nothing new: nothing said
    QCOMPARE(changed.count(), 1);

    S().ListView2.Clear();
    for (int i = 0; i < 5000; ++i) AddListing("g" + std::to_string(i));
    app_->desktop.ProcessMessages();
    QCOMPARE(reset.count(), 1);
    QCOMPARE(m2.rowCount(), 5000);
    QCOMPARE(m2.index(4999, 0).data().toString(), QString("g4999"));
  }

  void aFullListingOf65535Rows() {
    W().show();
    QVERIFY(QTest::qWaitForWindowExposed(&W()));
    for (int i = 0; i < 65535; ++i) AddListing(std::to_string(i) + ".dat");
    W().SyncViews();
    QTableView* view = View("ListView2");
    QCOMPARE(view->model()->rowCount(), 65535);
    view->scrollToBottom();
    QCOMPARE(view->rowAt(view->viewport()->height() - 2), 65534);
    // Ticking all of them is one change for the view.
    QSignalSpy changed(view->model(), &QAbstractItemModel::dataChanged);
    W().Run(&brim::TForm1::N9Click);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(view->model()->index(65534, 0).data(Qt::CheckStateRole).toInt(), static_cast<int>(Qt::Checked));
  }

  void clickingACheckBoxInTheViewTicksTheCoreRow() {
    AddListing("a.txt");
    AddListing("b.txt");
    W().show();
    QVERIFY(QTest::qWaitForWindowExposed(&W()));
    W().SyncViews();
    QTableView* view = View("ListView2");
    QSignalSpy changed(view->model(), &QAbstractItemModel::dataChanged);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, CheckBoxCentre(view, 1));
    QVERIFY(S().ListView2.Checked(1));
    QVERIFY(!S().ListView2.Checked(0));
    // The adapter's own write is not announced a second time at the next sync.
    const int afterClick = changed.count();
    W().SyncViews();
    QCOMPARE(changed.count(), afterClick);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, CheckBoxCentre(view, 1));
    QVERIFY(!S().ListView2.Checked(1));

    // The tally ticks the same way, and "(←)リストに反映!" reads them.
    S().ListView5.Add("txt", 2);
    W().SyncViews();
    QTableView* tally = View("ListView5");
    QTest::mouseClick(tally->viewport(), Qt::LeftButton, {}, CheckBoxCentre(tally, 0));
    QVERIFY(S().ListView5.Checked(0));
    QTest::mouseClick(W().findChild<QWidget*>("Button2"), Qt::LeftButton);
    QVERIFY(S().ListView2.Checked(0) && S().ListView2.Checked(1));
    QCOMPARE(view->model()->index(0, 0).data(Qt::CheckStateRole).toInt(), static_cast<int>(Qt::Checked));
  }

  void editingATallyCaptionWritesItBack() {
    S().ListView5.Add("txt", 1);
    S().ListView5.Add("\xFF\xFE" "bin", 1);  // not CP932
    W().show();
    QVERIFY(QTest::qWaitForWindowExposed(&W()));
    W().SyncViews();
    QTableView* tally = View("ListView5");
    const auto editTo = [tally](int row, const QString* text) {
      const QModelIndex index = tally->model()->index(row, 0);
      tally->setCurrentIndex(index);
      tally->edit(index);
      auto* editor = tally->viewport()->findChild<QLineEdit*>();
      QVERIFY(editor);
      if (text) editor->setText(*text);
      QTest::keyClick(editor, Qt::Key_Return);
      // The delegate commits from the event loop.
      QTRY_VERIFY(tally->viewport()->findChildren<QLineEdit*>().isEmpty());
    };
    const QString edited = Q(J("ソ"));
    editTo(0, &edited);
    QCOMPARE(S().ListView5.Caption(0), J("ソ"));
    QCOMPARE(tally->model()->index(0, 0).data().toString(), edited);
    // Opened and left unchanged: the raw bytes stay as they were.
    editTo(1, nullptr);
    QCOMPARE(S().ListView5.Caption(1), std::string("\xFF\xFE" "bin"));
    // The listing is read-only.
    AddListing("a.txt");
    W().SyncViews();
    QVERIFY(!W().ListView2Model().setData(W().ListView2Model().index(0, 0), "x", Qt::EditRole));
    QCOMPARE(std::string(S().ListView2.Caption(0)), std::string("a.txt"));
  }

  void logPaneMirrorsAppendsReplacementsAndClears() {
    auto& memo = S().Memo1;
    memo.Append("");  // an empty first line is a line too
    memo.Append(J("CRC計算中 0%"));
    W().SyncViews();
    QCOMPARE(Blocks(), (QStringList{"", Q(J("CRC計算中 0%"))}));

    // The progress line replaced in place, and a line appended, in one sync.
    memo.Replace(1, J("CRC計算中 52%"));
    memo.Append(std::string("a\nb\rc"));
    memo.Replace(7, "missing");  // ignored by the core, so by the view
    W().SyncViews();
    const QString r = QString(QChar::ReplacementCharacter);
    QCOMPARE(Blocks(), (QStringList{"", Q(J("CRC計算中 52%")), "a" + r + "b" + r + "c"}));

    // Appended and replaced before the view saw it.
    memo.Append("x");
    memo.Replace(3, "y");
    W().SyncViews();
    QCOMPARE(Blocks().last(), QString("y"));
    QCOMPARE(Blocks().size(), 4);

    memo.Clear();
    W().SyncViews();
    QCOMPARE(Blocks(), QStringList{""});
    memo.Append("after");
    memo.Replace(0, "after2");
    W().SyncViews();
    QCOMPARE(Blocks(), QStringList{"after2"});

    // A clear and refill between two syncs.
    memo.Clear();
    memo.Append("new1");
    memo.Append("new2");
    W().SyncViews();
    QCOMPARE(Blocks(), (QStringList{"new1", "new2"}));
    // Read-only to the user.
    auto* pane = W().findChild<QPlainTextEdit*>("Memo1");
    pane->setFocus();
    QTest::keyClicks(pane, "zz");
    QCOMPARE(Blocks(), (QStringList{"new1", "new2"}));
  }

  void logPaneScrollsToTheNewLine() {
    W().show();
    QVERIFY(QTest::qWaitForWindowExposed(&W()));
    for (int i = 0; i < 200; ++i) S().Memo1.Append("line " + std::to_string(i));
    W().SyncViews();
    auto* pane = W().findChild<QPlainTextEdit*>("Memo1");
    QVERIFY(pane->verticalScrollBar()->maximum() > 0);
    QCOMPARE(pane->verticalScrollBar()->value(), pane->verticalScrollBar()->maximum());
  }
};

std::unique_ptr<QObject> MakeViewTest() { return std::make_unique<ViewTest>(); }

#include "view_test.moc"
