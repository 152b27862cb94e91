#include "qt/row_marks.h"

#include <QStringList>

#include "app/entry_marks.h"
#include "base/cp932.h"
#include "base/ui_texts.h"
#include "qt/look.h"

namespace brim::qt {

namespace {

const std::string& CopyKindText(NameCopyKind kind) {
  const UiTexts& ui = Ui();
  switch (kind) {
    case NameCopyKind::Local: return ui.nameCopyLocal;
    case NameCopyKind::Central: return ui.nameCopyCentral;
    case NameCopyKind::LocalUnicodePath: return ui.nameCopyLocalUnicodePath;
    case NameCopyKind::CentralUnicodePath: return ui.nameCopyCentralUnicodePath;
    case NameCopyKind::LzhBase: return ui.nameCopyLzhBase;
    case NameCopyKind::LzhRecord: return ui.nameCopyLzhRecord;
    case NameCopyKind::LzhUtf16: return ui.nameCopyLzhUtf16;
    case NameCopyKind::LzhDirectory: return ui.nameCopyLzhDirectory;
  }
  return ui.nameCopyLocal;
}

QString NameOf(const NameCopy& copy) {
  if (copy.encoding == NameEncoding::Cp932) return DisplayLine(copy.bytes);
  return QString::fromStdString(NameToUtf8(copy.bytes, copy.encoding));
}

}  // namespace

QString RowMarksToolTip(const EntryTable& entries, size_t row) {
  QStringList lines;
  const uint16_t marks = entries.Marks(row);
  ForEachMark(marks, [&](EntryMark m) { lines << QStringLiteral("・") + Display(MarkText(m)); });
  const auto copies = entries.NameCopies(row);
  if (!copies.empty()) {
    lines << Display(Ui().nameCopiesHeading);
    for (const NameCopy& copy : copies) {
      lines << QStringLiteral("  ") + Display(CopyKindText(copy.kind)) + " (" +
                   QString::number(copy.position, 16).toUpper() + "): " + NameOf(copy);
    }
  }
  return lines.join('\n');
}

bool DrawnApart(const EntryTable& entries, size_t row) {
  return (entries.Marks(row) & kMarkDirectoryOnly) != 0;
}

}  // namespace brim::qt
