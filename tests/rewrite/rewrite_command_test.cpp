#include <gtest/gtest.h>

#include <algorithm>

#include "form/Unit1.h"
#include "app/application.h"
#include "base/ui_texts.h"
#include "rewrite/rewrite_command.h"
#include "rewrite/rewrite_support.h"
#include "support/scripted_desktop.h"
#include "support/table_rows.h"

namespace brim {
namespace {

using test::Bytes;
using test::J;

struct Window {
  test::TempDir dir;
  std::string path = dir.File("w.zip");
  test::ScriptedDesktop d;
  TForm1 form{d};
  ProgramState& s = form.state;
  Bytes original;

  Window() {
    test::Built built = test::BuildZip({test::ZipSpec{"a.exe", std::nullopt, 8, 0, Bytes(50, 'z'), 99, 7}});
    original = built.bytes;
    test::WriteFileBytes(path, original);
    test::MarkAnalysed(s, path, ArchiveKindType::Zip, "0");
    test::AddRows(s, built.rows, false);
  }
  bool Rewritten() { return test::ReadFileBytes(path) != original; }
  // N2Click as the menu runs it: through the application object.
  bool Click() { return RunCommand(d, [&] { form.N2Click(); }); }
};

TEST(RewriteCommand, RefusesWhenNotAnalysedOrNothingTicked) {
  Window w;
  w.form.N2Click();
  EXPECT_EQ(w.d.messages, std::vector<std::string>{J("チェックが付いていません")});
  w.form.N9Click();
  // A damaged analysis is not refused: its listed rows must be neutralisable.
  for (const char* state : {"", "中断しました"}) {
    w.d.messages.clear();
    test::SetPanelText(w.s.StatusBar1, kPanelState, J(state));
    w.form.N2Click();
    EXPECT_EQ(w.d.messages, std::vector<std::string>{J("解析されていません")}) << state;
  }
  EXPECT_TRUE(w.d.questions.empty());
  EXPECT_FALSE(w.Rewritten());
  test::SetPanelText(w.s.StatusBar1, kPanelState, J("破損zipです"));
  w.d.answers = {Answer::Yes, Answer::No};
  w.form.N2Click();
  EXPECT_TRUE(w.Rewritten());
}

// Both questions go on only on Yes: closing the box is a No.
TEST(RewriteCommand, QuestionsDifferInTheirSense) {
  struct Case {
    Answer first;
    std::optional<Answer> second;
    bool rewritten;
  };
  for (const Case& c : {Case{Answer::No, std::nullopt, false}, Case{Answer::Yes, Answer::No, true},
                        Case{Answer::Closed, std::nullopt, false}}) {
    Window w;
    w.form.N9Click();
    w.d.answers = {c.first};
    if (c.second) w.d.answers.push_back(*c.second);
    EXPECT_TRUE(w.Click());
    std::vector<std::string> asked = {J("書き換えを実行します。よろしいですか？")};
    if (c.second) asked.push_back(J("書き換えた内容を解析しますか？"));
    EXPECT_EQ(w.d.questions, asked);
    EXPECT_EQ(w.Rewritten(), c.rewritten);
    // Without a new analysis the rewrite's lines stay in the pane.
    EXPECT_EQ(w.s.Memo1.Count(), c.rewritten ? 3u : 0u);
  }
}

// Yes to the second question analyses the altered file with the analyser of
// ArchiveKind (no detection): the tables and the pane then show it alone.
TEST(RewriteCommand, YesReanalysesTheRewrittenArchive) {
  for (size_t lead : {size_t{0}, size_t{300}}) {
    test::TempDir dir;
    const std::string path = dir.File("r.zip");
    test::Built built = test::BuildZip({test::ZipSpec{"dir/a.exe", std::nullopt, 8, 0, Bytes(50, 'z'), 99, 7},
                                        test::ZipSpec{"b.txt", std::nullopt, 8, 0, Bytes(9, 'q'), 30, 8}},
                                       lead);
    test::WriteFileBytes(path, built.bytes);
    test::ScriptedDesktop d;
    TForm1 form(d);
    form.state.Label1.SetCaption(path);
    form.Zip1Click();
    ASSERT_EQ(form.state.StatusBar1.Panel(kPanelState), J("解析済み"));
    form.state.ListView2.SetChecked(0, true);
    d.answers = {Answer::Yes, Answer::Yes};
    form.N2Click();
    const ProgramState& s = form.state;
    EXPECT_EQ(s.StatusBar1.Panel(kPanelState), J("解析済み"));
    EXPECT_EQ(s.StatusBar1.Panel(kPanelDetail), std::to_string(lead));
    ASSERT_EQ(s.ListView2.Count(), 2u);
    EXPECT_EQ(s.ListView2.Caption(0), "a.ex$");
    EXPECT_EQ(s.ListView2.CellText(0, kColCompress), "50");
    EXPECT_EQ(s.ListView2.CellText(0, kColOriginal), "50");
    EXPECT_EQ(s.ListView2.Caption(1), "b.txt");
    EXPECT_FALSE(s.ListView2.Checked(0));
    EXPECT_EQ(s.ListView5.Caption(0), "ex$");
    ASSERT_GE(s.Memo1.Count(), 1u);
    EXPECT_EQ(s.Memo1.Line(0), "---");
    // The rewrite's lines stay, above the new analysis's separator.
    const std::vector<std::string>& lines = s.Memo1.Lines();
    const auto overwritten = std::find(lines.begin(), lines.end(), "a.exe" + J("を00で上書きしました。"));
    ASSERT_NE(overwritten, lines.end());
    EXPECT_NE(std::find(overwritten, lines.end(), std::string("---")), lines.end());
  }
}

TEST(RewriteCommand, FailureEndsTheCommandBeforeTheSecondQuestion) {
  Window w;
  w.form.N9Click();
  w.s.Label1.SetCaption(w.dir.File("gone.zip"));
  w.d.answers = {Answer::Yes, Answer::Yes};
  EXPECT_FALSE(w.Click());
  EXPECT_EQ(w.d.errors, std::vector<std::string>{J("ファイル ") + w.dir.File("gone.zip") +
                                                 J(" は開けません（そのようなファイルはありません）.")});
  EXPECT_EQ(w.d.questions.size(), 1u);
}

TEST(RewriteCommand, KindPicksTheFormat) {
  // The same file rewritten as LZH would get "-lh0-" at offset 2: ZIP must not.
  Window w;
  w.form.N9Click();
  w.d.answers = {Answer::Yes, Answer::No};
  w.Click();
  Bytes now = test::ReadFileBytes(w.path);
  EXPECT_EQ(Bytes(now.begin(), now.begin() + 4), Bytes(w.original.begin(), w.original.begin() + 4));
  EXPECT_EQ(now[8], 0);  // local method: stored

  w.s.ArchiveKind = ArchiveKindType::Lzh;  // panel 1 "0" is no LZH level
  w.d.answers = {Answer::Yes, Answer::No};
  w.Click();
  EXPECT_EQ(w.d.messages, std::vector<std::string>{J("解析されていません")});
}

}  // namespace
}  // namespace brim
