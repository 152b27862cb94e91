// rewrite --output: the analysed archive copied under a temporary name in
// the output's folder, rewritten there, and given the output's name only
// when complete, never over anything that exists. The source is opened for
// reading only.
#pragma once
#include <string>

#include "app/program_state.h"

namespace brim::cli {

class OutputCopy {
 public:
  // Copies the file the analysis read (refusing one changed since: false,
  // with "解析されていません" shown) and points the state at the copy, so
  // the rewrite acts on it. Throws CommandError on a failed read or write.
  bool Make(ProgramState& s, const std::string& target);
  // Gives the copy its name. False when the name was taken meanwhile.
  bool Publish();
  // Removes the copy unless published.
  ~OutputCopy();

 private:
  std::string target_;
  std::string temporary_;
  bool published_ = false;
};

// Copies the whole of standard input into a new private file; returns its
// path, or empty on failure (errno set) or when stop() turns true while it
// waits for input. RemoveStandardInputCopy deletes it.
std::string CopyStandardInput(bool (*stop)());
void RemoveStandardInputCopy(const std::string& path);

}  // namespace brim::cli
