// One file stream type for every command: 64-bit positions, positional reads
// and writes, and the sharing rule "others may read, nobody may write" made
// with open-file-description locks (POSIX has no share modes). On Linux
// nothing would stop a program from creating a file over the archive it is
// reading, so Create refuses a path that is a file open in this process.
#pragma once
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace brim {

// What tells one file from another and from its own later state.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t size = 0;
  int64_t modifiedSeconds = 0;
  int64_t modifiedNanoseconds = 0;
  bool operator==(const FileIdentity&) const = default;
};

class FileStream {
 public:
  enum class Mode {
    Read,       // read; others may read, nobody may write
    ReadWrite,  // read and write in place; others may read, nobody else may write
  };

  // Opens an existing regular file. Throws CannotOpen (missing, a folder,
  // locked for writing by another program, no permission).
  static FileStream Open(const std::string& nativePath, Mode mode);
  // Creates or replaces a file for writing. Throws CannotCreate, also when the
  // path names a file that is open in this process (the source archive).
  static FileStream Create(const std::string& nativePath);
  // Creates a file that must not exist yet (O_EXCL: never replaces a file,
  // never follows a symbolic link). Throws CannotCreate.
  static FileStream CreateNew(const std::string& nativePath);

  // Takes over a descriptor of a file this process has just created (a new
  // file not named yet), for writing; path names it in messages.
  static FileStream AdoptNew(int fd, const std::string& nativePath);

  FileStream(FileStream&& other) noexcept;
  FileStream& operator=(FileStream&& other) noexcept;
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;
  ~FileStream();

  const std::string& Path() const { return path_; }
  uint64_t Size() const;
  // Device, inode, size and modification time now. Throws CannotRead.
  FileIdentity Identity() const;

  // Reads up to n bytes at pos; fewer only at the end of the file. Throws
  // CannotRead on an I/O error.
  size_t ReadAt(uint64_t pos, void* buf, size_t n) const;
  // Reads exactly n bytes at pos or throws CannotRead.
  void ReadExactAt(uint64_t pos, void* buf, size_t n) const;
  // Writes all n bytes at pos or throws CannotWrite (full disk, I/O error).
  void WriteAt(uint64_t pos, const void* buf, size_t n);

  // Sequential writing for outputs built front to back.
  uint64_t Position() const { return position_; }
  void Append(const void* buf, size_t n);

  // Closes now, reporting a failed close of a written file as CannotWrite.
  void Close();

  int Descriptor() const { return fd_; }
  // Gives up the advisory lock, so that another handle of this new file
  // (the rewrite of a copy this process made) can take it.
  void Unlock();

 private:
  FileStream(int fd, std::string path, dev_t dev, ino_t ino, bool registered);
  void Release() noexcept;

  int fd_ = -1;
  std::string path_;
  dev_t dev_ = 0;
  ino_t ino_ = 0;
  bool registered_ = false;  // counted among the files open for reading
  bool writable_ = false;    // a failed close is a failed write
  uint64_t position_ = 0;
};

// True when path names an existing regular file (a folder does not count).
bool RegularFileExists(const std::string& nativePath);
// True when anything exists under path, a symbolic link (dangling or not)
// included: a name no new file can be created under.
bool PathTaken(const std::string& nativePath);
// True when the two paths name the same file (device and inode).
bool SameFile(const std::string& a, const std::string& b);

}  // namespace brim
