// Failures that end a command. The text is CP932 bytes and is what the error
// box shows (the front end adds the closing "." by the rule in application.h).
#pragma once
#include <stdexcept>
#include <string>

namespace brim {

class CommandError : public std::runtime_error {
 public:
  explicit CommandError(std::string textCp932)
      : std::runtime_error(textCp932), text_(std::move(textCp932)) {}
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// "ファイル %s は開けません" with the path (native path, shown in CP932).
CommandError CannotOpen(const std::string& nativePath);
// "ファイル %s を作成できません".
CommandError CannotCreate(const std::string& nativePath);
// "ファイル %s に書き込めません": a failed or short write.
CommandError CannotWrite(const std::string& nativePath);
// "ファイル %s を読み込めません": a failed or short read of bytes the analysis saw.
CommandError CannotRead(const std::string& nativePath);
// "'%s' は整数ではありません" with the text that was parsed (CP932).
CommandError NotAnInteger(const std::string& parsedTextCp932);

}  // namespace brim
