// The command line of brimlode-cli: subcommand, archive, row selection and
// output flags. Parsing never touches a file; the archive is only named here.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace brim::cli {

enum class Subcommand { Analyse, Rewrite, Split, Combine };
// How the rows to act on are ticked: --all, --ext or --rows.
enum class Selection { None, All, Extensions, Rows };

struct Arguments {
  bool help = false;
  Subcommand command = Subcommand::Analyse;
  std::string archive;                  // as given (native path)
  Selection selection = Selection::None;
  std::vector<std::string> extensions;  // tally keys, CP932, lowered, no dot
  std::vector<uint64_t> rows;           // 0-based listing indexes, as given
  bool invert = false;
  bool reanalyse = false;
  bool json = false;
};

struct ParseResult {
  std::optional<Arguments> arguments;  // empty on a usage error
  std::string error;                   // what was wrong, in English
};

// args: the command line without the program name.
ParseResult ParseArguments(const std::vector<std::string>& args);

// The text of --help.
std::string HelpText();
// The one-line usage reminder printed after a usage error.
std::string UsageLine();

}  // namespace brim::cli
