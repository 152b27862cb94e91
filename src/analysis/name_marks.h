// The marks a name earns by itself, in either format: characters that turn
// the displayed text around, a document extension hiding a program one, an
// archive inside the archive, and names Windows writes under another name.
#pragma once
#include <cstdint>
#include <string_view>

#include "app/program_state.h"
#include "base/cp932.h"
#include "base/windows_name.h"

namespace brim {

// EntryMark bits (kMarkBidiControl, kMarkDoubleExtension,
// kMarkNestedArchive, kMarkWindowsAltersName) of one stored name, raw bytes
// in their encoding, "/" or "\" between folders.
uint16_t NameMarks(std::string_view name, NameEncoding encoding);

// Whether NameMarks can find anything in name, whose file-name part is
// file and whose tally key (lower-case, no dot) is key: a cheap look that
// lets most names of a listing pass without the full one.
bool MayEarnNameMarks(std::string_view name, std::string_view file, std::string_view key);

// U+200E/F, U+202A–U+202E, U+2066–U+2069 or U+061C, as UTF-8, in name. CP932
// has none of them; a name without bit 11 can still be UTF-8 (macOS writes it).
bool HasBidiControl(std::string_view name);

// One log line per other name the row's copies give, in words a user
// reads: "<caption> : 一部の展開ソフトでは「evil.exe」という名前で書き出されます".
// logName is the caption as the log writes it (CP932).
void LogOtherNames(ProgramState& s, size_t row, std::string_view logName);

}  // namespace brim
