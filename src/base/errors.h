// Failures that end a command. The text is CP932 bytes and is what the error
// box shows (the front end adds the closing "." by the rule in application.h).
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

namespace brim {

// Which file operation failed, for a front end that reports more than the
// text (the command line's exit status and reason code).
enum class FileFailure : uint8_t { None, Open, Create, Write, Read };

class CommandError : public std::runtime_error {
 public:
  explicit CommandError(std::string textCp932, FileFailure failure = FileFailure::None)
      : std::runtime_error(textCp932), text_(std::move(textCp932)), failure_(failure) {}
  const std::string& Text() const { return text_; }
  FileFailure Failure() const { return failure_; }

 private:
  std::string text_;
  FileFailure failure_;
};

// Why a file could not be opened, beyond what errno says.
enum class OpenProblem : uint8_t { Errno, NotARegularFile, Locked };

// "ファイル %s は開けません" with the path (native path, shown in CP932),
// followed by the reason: errorNumber (an errno value) or problem.
CommandError CannotOpen(const std::string& nativePath, int errorNumber = 0,
                        OpenProblem problem = OpenProblem::Errno);
// "ファイル %s を作成できません", followed by the reason errorNumber (an
// errno value) gives, as CannotOpen does.
CommandError CannotCreate(const std::string& nativePath, int errorNumber = 0);
// "ファイル %s に書き込めません": a failed or short write.
CommandError CannotWrite(const std::string& nativePath);
// "ファイル %s を読み込めません": a failed or short read of bytes the analysis saw.
CommandError CannotRead(const std::string& nativePath);
// "'%s' は整数ではありません" with the text that was parsed (CP932).
CommandError NotAnInteger(const std::string& parsedTextCp932);

}  // namespace brim
