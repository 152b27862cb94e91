// Files that appear under their name complete or not at all. A new file is
// made unnamed (O_TMPFILE), or under a temporary name where the file system
// cannot, and only gets its name once written; a file never named is gone
// with its handle, whatever ends the process. Folders are resolved beneath a
// base folder without following symbolic links in any component, so an
// entry's folder that is a link cannot send an output elsewhere.
#pragma once
#include <string>

#include "base/file_stream.h"

namespace brim {

class NewFile {
 public:
  // A new file for baseFolder + relative ("a/b/name"): the folders of
  // relative must exist beneath baseFolder as real folders (no symbolic
  // link, no ".."). Throws CannotCreate naming baseFolder + relative, also
  // when mustBeFree and something already exists under that name.
  static NewFile Create(const std::string& baseFolder, const std::string& relative, bool mustBeFree);

  NewFile(NewFile&& other) noexcept;
  NewFile& operator=(NewFile&&) = delete;
  NewFile(const NewFile&) = delete;
  ~NewFile();

  FileStream& Stream() { return file_; }
  const std::string& Path() const { return file_.Path(); }

  // Closes the file and gives it its name, never over anything that exists
  // there. Throws CannotWrite (the close failed) or CannotCreate.
  void Publish();
  // Closes the file and gives it its name, replacing whatever name is there
  // (a symbolic or hard link at that name is replaced, not followed).
  void PublishReplacing();

 private:
  NewFile(FileStream file, int folder, std::string leaf, std::string temporary);
  void Discard() noexcept;
  int CloseKeepingHandle();
  void LinkTemporary(int handle);

  FileStream file_;
  int folder_ = -1;        // the folder the name goes into
  std::string leaf_;       // the final name in that folder
  std::string temporary_;  // the temporary name; empty while unnamed
  bool published_ = false;
};

// Forces the component-by-component walk (with O_NOFOLLOW) instead of
// openat2, and names instead of O_TMPFILE, as on kernels without them.
void UseFallbacksForTests(bool on);

}  // namespace brim
