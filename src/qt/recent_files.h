// "最近使ったファイル": the archives analysed last, newest first, kept in the
// settings file so the next run offers them too.
#pragma once
#include <QString>
#include <QStringList>

namespace brim::qt {

inline constexpr int kRecentFiles = 8;

QStringList RecentFiles();
// Puts path first; an earlier place of it goes, and the list keeps 8.
void NoteRecentFile(const QString& path);
void ForgetRecentFile(const QString& path);

}  // namespace brim::qt
