// rewrite --output: the analysed archive copied into a new file in the
// output's folder, rewritten there, and given the output's name only when
// complete, never over anything that exists. The new file has no name until
// then where the file system allows (O_TMPFILE), so a killed process leaves
// nothing; elsewhere a hidden temporary name. The source is opened for
// reading only.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "app/program_state.h"
#include "base/new_file.h"

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

 private:
  std::optional<NewFile> copy_;
};

// The whole of standard input (up to limit bytes and one more, so that a
// stream past the limit is refused without reading it all) in a private file
// that loses its name as soon as it is opened: nothing stays behind, however
// the process ends. Path() opens it while this lives.
class StandardInputCopy {
 public:
  // False on a failed read or write (errno set), or when stop() turns true
  // while it waits for input.
  bool Make(bool (*stop)(), uint64_t limit);
  const std::string& Path() const { return path_; }
  ~StandardInputCopy();

 private:
  int fd_ = -1;
  std::string path_;
};

}  // namespace brim::cli
