// The command line's own texts (reasons, notes on standard error): Japanese
// under a Japanese locale (LC_ALL, LC_MESSAGES or LANG starting "ja"),
// English otherwise. The window's texts, which it also prints, stay Japanese.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace brim::cli {

enum class CliTextId {
  OutputUnwritable, StandardInputUnreadable, NothingTicked, UsageHint, NoSuchRow, WouldNeutralise, WouldCreate,
  MailCannotRead, MailRejected, DamagedNeutralised
};

bool JapaneseLocale();
std::string CliText(CliTextId id);
// NoSuchRow: "%d" are the row asked for and the number of rows.
// DamagedNeutralised: a is the number of entries neutralised, b 1 for LZH.
std::string CliText(CliTextId id, uint64_t a, uint64_t b);
// What a reason code of the report means, in a short phrase.
std::string ReasonText(std::string_view reason);

}  // namespace brim::cli
