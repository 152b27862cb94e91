// How the listing shows a row's marks: a warning sign, a tooltip naming each
// mark and every other copy of the entry's name, and a distinct look for an
// entry that only the central directory describes.
#pragma once
#include <QString>

#include "app/tables.h"

namespace brim::qt {

// Empty when the row has neither marks nor name copies.
QString RowMarksToolTip(const EntryTable& entries, size_t row);
// Whether the row is drawn apart: grey and italic.
bool DrawnApart(const EntryTable& entries, size_t row);

// One copy of a name as text, and as the row menu names it (the name an
// extractor would write).
QString NameCopyText(const NameCopy& copy);
QString NameCopyCaption(const NameCopy& copy);

}  // namespace brim::qt
