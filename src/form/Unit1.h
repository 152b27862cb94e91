// TForm1 and its members (Zip1Click, N2Click, Button3Click ...) are named after
// the main window's form: its class, controls and their event handlers.
//
// The main window's command handlers, on the plain state. The Qt window and
// the command line call these; neither holds logic of its own.
//
// Handlers throw CommandError on a failure that ends the command; the front
// end's RunCommand shows it in the error box.
//
// One command at a time: while a command processes messages, a command that
// reads or writes the archive or the tables returns at once. Abort, About,
// the log commands and ticking stay live.
#pragma once
#include <string>
#include <vector>

#include "app/program_state.h"

namespace brim {

class TForm1 {
 public:
  explicit TForm1(Desktop& desktop) : state(desktop) {}

  ProgramState state;

  void FormCreate() {}
  void Panel2Resize() {}

  // A drop from the file manager: the first path is taken whole.
  void DropFiles(const std::vector<std::string>& nativePaths);

  void Button1Click();  // 参照
  void Button3Click();  // 中断
  void Zip1Click();     // 解析
  void N2Click();       // 書き換え
  void N6Click();       // 個別に生成
  void N7Click();       // 結合して生成
  void N8Click();       // tick rows of ticked extensions (also Button2)
  void N9Click();       // tick all
  void N10Click();      // untick all
  void N11Click();      // invert
  void DangerousClick();  // 危険な拡張子: tick rows whose extension is on the list
  void N4Click();       // ログ → 出力
  void kuria1Click();   // ログ → クリア
  void About1Click();   // バージョン情報

  // True while a command that owns the archive and the tables runs.
  bool Busy() const { return busy_; }

 private:
  // Runs an archive or table command unless one is already running.
  template <typename Command>
  void Exclusive(Command command);

  bool busy_ = false;
};

}  // namespace brim
