#include "app/entry_marks.h"

#include "base/ui_texts.h"

namespace brim {

std::string_view MarkId(EntryMark mark) {
  switch (mark) {
    case kMarkNamesDiffer: return "names_differ";
    case kMarkNotInDirectory: return "not_in_directory";
    case kMarkDirectoryOnly: return "directory_only";
    case kMarkOverlap: return "overlap";
    case kMarkSeveralDirectories: return "several_directories";
    case kMarkHalfNeutralised: return "half_neutralised";
    case kMarkBidiControl: return "bidi_control";
    case kMarkDoubleExtension: return "double_extension";
    case kMarkWindowsAltersName: return "windows_alters_name";
    case kMarkNestedArchive: return "nested_archive";
    case kMarkEncrypted: return "encrypted";
    case kMarkSizesLie: return "sizes_lie";
    case kMarkDataBetweenEntries: return "data_between_entries";
    case kMarkDirectoryMoved: return "directory_moved";
    case kMarkUnexplained: return "unexplained";
  }
  return "";
}

const std::string& MarkText(EntryMark mark) {
  const UiTexts& ui = Ui();
  switch (mark) {
    case kMarkNamesDiffer: return ui.markNamesDiffer;
    case kMarkNotInDirectory: return ui.markNotInDirectory;
    case kMarkDirectoryOnly: return ui.markDirectoryOnly;
    case kMarkOverlap: return ui.markOverlap;
    case kMarkSeveralDirectories: return ui.markSeveralDirectories;
    case kMarkHalfNeutralised: return ui.markHalfNeutralised;
    case kMarkBidiControl: return ui.markBidiControl;
    case kMarkDoubleExtension: return ui.markDoubleExtension;
    case kMarkWindowsAltersName: return ui.markWindowsAltersName;
    case kMarkNestedArchive: return ui.markNestedArchive;
    case kMarkEncrypted: return ui.markEncrypted;
    case kMarkSizesLie: return ui.markSizesLie;
    case kMarkDataBetweenEntries: return ui.markDataBetweenEntries;
    case kMarkDirectoryMoved: return ui.markDirectoryMoved;
    case kMarkUnexplained: return ui.markUnexplained;
  }
  static const std::string none;
  return none;
}

std::string_view NameCopyKindId(NameCopyKind kind) {
  switch (kind) {
    case NameCopyKind::Local: return "local";
    case NameCopyKind::Central: return "central";
    case NameCopyKind::LocalUnicodePath: return "local_unicode_path";
    case NameCopyKind::CentralUnicodePath: return "central_unicode_path";
    case NameCopyKind::LzhBase: return "lzh_base";
    case NameCopyKind::LzhRecord: return "lzh_record";
    case NameCopyKind::LzhUtf16: return "lzh_utf16";
    case NameCopyKind::LzhDirectory: return "lzh_directory";
  }
  return "";
}

}  // namespace brim
