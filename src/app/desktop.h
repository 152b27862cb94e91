// Everything the commands ask of the desktop. The Qt window implements it with
// real widgets, the command line from its flags, the tests from a script.
// Texts are CP932; paths are native (UTF-8).
#pragma once
#include <optional>
#include <string>

namespace brim {

enum class Answer { Yes, No, Closed };

class Desktop {
 public:
  virtual ~Desktop() = default;

  // Lets the window handle pending input and painting. Called through
  // MessagePump, which throttles it.
  virtual void ProcessMessages() = 0;
  // Plain message box titled with the program's title, one "OK" button.
  virtual void ShowMessage(const std::string& text) = 0;
  // Question box "確認": Yes (default), No (also Esc), or closed.
  virtual Answer AskYesNo(const std::string& text) = 0;
  // Error box titled with the program's title; text already ends in its ".".
  virtual void ShowError(const std::string& text) = 0;
  // File-open dialog; nullopt when cancelled.
  virtual std::optional<std::string> ChooseFile() = 0;
  // Asks the desktop shell to open a web address; an address no program can
  // open is the desktop's to report (the window shows a message).
  virtual void OpenUrl(const std::string& address) = 0;
  // Makes the About window visible (the one window, never a second).
  virtual void ShowAbout() = 0;
};

}  // namespace brim
