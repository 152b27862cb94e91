// A Desktop for tests: records every box, answers questions from a queue, and
// can run a hook at each message pump (to press "中断" mid-walk, say).
#pragma once
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/desktop.h"

namespace brim::test {

class ScriptedDesktop : public Desktop {
 public:
  void ProcessMessages() override {
    ++pumps;
    if (onPump) onPump(pumps);
  }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  Answer AskYesNo(const std::string& text) override {
    questions.push_back(text);
    if (answers.empty()) return Answer::No;
    Answer a = answers.front();
    answers.pop_front();
    return a;
  }
  void ShowError(const std::string& text) override { errors.push_back(text); }
  std::optional<std::string> ChooseFile() override {
    ++dialogs;
    return chooseResult;
  }
  void OpenUrl(const std::string& address) override { openedUrls.push_back(address); }
  void ShowAbout() override { ++aboutShown; }

  std::vector<std::string> messages;   // plain boxes, CP932
  std::vector<std::string> questions;  // CP932
  std::vector<std::string> errors;     // CP932
  std::deque<Answer> answers;          // No when empty
  std::optional<std::string> chooseResult;
  std::vector<std::string> openedUrls;
  int dialogs = 0;
  int aboutShown = 0;
  long pumps = 0;
  std::function<void(long)> onPump;
};

}  // namespace brim::test
