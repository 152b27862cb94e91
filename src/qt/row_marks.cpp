#include "qt/row_marks.h"

#include <QStringList>

#include "app/entry_marks.h"
#include "base/cp932.h"
#include "base/windows_name.h"
#include "base/ui_texts.h"
#include "qt/look.h"

namespace brim::qt {

namespace {

QString NameOf(std::string_view bytes, NameEncoding encoding) {
  if (encoding == NameEncoding::Cp932) return DisplayLine(std::string(bytes));
  return QString::fromStdString(NameToUtf8(bytes, encoding));
}

}  // namespace

QString RowMarksToolTip(const EntryTable& entries, size_t row) {
  QStringList lines;
  const uint16_t marks = entries.Marks(row);
  ForEachMark(marks, [&](EntryMark m) { lines << QStringLiteral("・") + Display(MarkText(m)); });
  // Each other name an extractor may write, said as the log says it.
  QStringList said = {NameOf(entries.Caption(row), entries.Encoding(row))};
  for (const NameCopy& copy : entries.NameCopies(row)) {
    const QString name = NameOf(WrittenFileName(copy.bytes, copy.encoding), copy.encoding);
    if (name.isEmpty() || said.contains(name)) continue;
    said << name;
    lines << QStringLiteral("・") + Display(Ui().otherExtractorsWrite).replace(QStringLiteral("%s"), name);
  }
  return lines.join('\n');
}

bool DrawnApart(const EntryTable& entries, size_t row) {
  return (entries.Marks(row) & kMarkDirectoryOnly) != 0;
}

QString NameCopyText(const NameCopy& copy) { return NameOf(copy.bytes, copy.encoding); }

// The name as extractors would write it: where it is stored means nothing
// to the people who read this menu.
QString NameCopyCaption(const NameCopy& copy) { return NameOf(WrittenFileName(copy.bytes, copy.encoding), copy.encoding); }

}  // namespace brim::qt
