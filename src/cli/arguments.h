// The command line of brimlode-cli: subcommand, archive, row selection and
// output flags. Parsing never touches a file; the archive is only named here.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace brim::cli {

enum class Subcommand { Analyse, Rewrite, Split, Combine, Mail };
// How the rows to act on are ticked: --all, --ext, --rows or --dangerous.
enum class Selection { None, All, Extensions, Rows, Dangerous };

// The archive name that stands for standard input.
inline constexpr const char* kStandardInput = "-";

struct Arguments {
  bool help = false;
  bool version = false;
  bool listDangerous = false;           // --list-dangerous: print the list, one per line
  std::vector<std::string> dangerousAdd;  // --dangerous-add: a site's own keys, lowered, no dot
  Subcommand command = Subcommand::Analyse;
  std::string archive;                  // the first archive, as given (native path)
  std::vector<std::string> archives;    // every archive in order; "-" is standard input
  Selection selection = Selection::None;
  std::vector<std::string> extensions;  // tally keys, CP932, lowered, no dot
  std::vector<uint64_t> rows;           // 0-based listing indexes, as given
  bool invert = false;
  bool reanalyse = false;
  bool json = false;
  bool report = false;      // one JSON Lines document per archive instead of the state
  bool quiet = false;       // no question-and-answer chatter on standard error
  bool dryRun = false;      // say what the command would do, write nothing
  std::string output;       // rewrite: the neutralised copy goes here
  std::string outputDir;    // rewrite: each copy goes here, named after its archive
  bool summary = false;     // --report without a line per entry
  // mail: the message in and out ("-" or empty: standard input and output),
  // where its per-archive report lines go, and what happens to a part that
  // cannot be made safe: "replace", "reject" or "pass".
  std::string mailInput, mailOutput, mailReport;
  std::string policy = "replace";
};

struct ParseResult {
  std::optional<Arguments> arguments;  // empty on a usage error
  std::string error;                   // what was wrong, in English
};

// args: the command line without the program name.
ParseResult ParseArguments(const std::vector<std::string>& args);

// The text of --version: "brimlode-cli 0.40".
std::string VersionText();
// The version number alone ("0.40").
std::string VersionNumber();

// The text of --list-dangerous: every key --dangerous ticks, one a line.
std::string DangerousListText();

// The text of --help.
std::string HelpText();
// The one-line usage reminder printed after a usage error.
std::string UsageLine();

}  // namespace brim::cli
