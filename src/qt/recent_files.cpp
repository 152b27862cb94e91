#include "qt/recent_files.h"

#include "qt/settings.h"

namespace brim::qt {

namespace {
constexpr char kKey[] = "recent/files";

void Keep(QStringList files) {
  while (files.size() > kRecentFiles) files.removeLast();
  OpenSettings()->setValue(kKey, files);
}
}  // namespace

QStringList RecentFiles() {
  QStringList files = OpenSettings()->value(kKey).toStringList();
  // A hand-edited file may hold more.
  while (files.size() > kRecentFiles) files.removeLast();
  return files;
}

void NoteRecentFile(const QString& path) {
  QStringList files = RecentFiles();
  files.removeAll(path);
  files.prepend(path);
  Keep(files);
}

void ForgetRecentFile(const QString& path) {
  QStringList files = RecentFiles();
  files.removeAll(path);
  Keep(files);
}

}  // namespace brim::qt
