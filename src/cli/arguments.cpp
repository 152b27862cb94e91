#include "cli/arguments.h"

#include <string_view>

#include "base/cp932.h"
#include "base/ui_texts.h"

namespace brim::cli {

namespace {

std::vector<std::string> SplitCommas(std::string_view text) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    size_t comma = text.find(',', start);
    parts.emplace_back(text.substr(start, comma == std::string_view::npos ? text.npos : comma - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return parts;
}

// "exe,JS,.txt,''" -> the tally keys exe, js, txt and the empty key. A key
// never holds a dot (it is what follows the last one), so a leading dot is
// only the user's spelling of the extension and is dropped.
bool ParseExtensions(std::string_view text, std::vector<std::string>* keys, std::string* error) {
  for (std::string& part : SplitCommas(text)) {
    std::string_view key = part;
    if (!key.empty() && key.front() == '.') key.remove_prefix(1);
    if (key.find('.') != std::string_view::npos) {
      *error = "--ext: '" + part + "' is not an extension (a key holds no dot)";
      return false;
    }
    bool ok = true;
    std::string cp932 = Utf8ToCp932(key, &ok);
    if (!ok) {
      *error = "--ext: '" + part + "' cannot be written in CP932";
      return false;
    }
    keys->push_back(LowerAscii(cp932));
  }
  return true;
}

bool ParseRows(std::string_view text, std::vector<uint64_t>* rows, std::string* error) {
  if (text.empty()) {
    *error = "--rows needs at least one row number";
    return false;
  }
  for (const std::string& part : SplitCommas(text)) {
    bool valid = !part.empty() && part.size() <= 18;
    uint64_t value = 0;
    for (char c : part) {
      if (c < '0' || c > '9') {
        valid = false;
        break;
      }
      value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (!valid) {
      *error = "--rows: '" + part + "' is not a row number (0-based, comma-separated)";
      return false;
    }
    rows->push_back(value);
  }
  return true;
}

std::optional<Subcommand> SubcommandNamed(std::string_view name) {
  if (name == "analyse" || name == "analyze") return Subcommand::Analyse;
  if (name == "rewrite") return Subcommand::Rewrite;
  if (name == "split") return Subcommand::Split;
  if (name == "combine") return Subcommand::Combine;
  return std::nullopt;
}

ParseResult Fail(std::string error) { return ParseResult{std::nullopt, std::move(error)}; }

}  // namespace

ParseResult ParseArguments(const std::vector<std::string>& args) {
  // --help wins wherever it stands before "--", so a half-typed command line
  // still shows the help.
  for (const std::string& a : args) {
    if (a == "--") break;
    if (a == "--help" || a == "-h") {
      Arguments help;
      help.help = true;
      return ParseResult{help, ""};
    }
  }
  if (args.empty()) return Fail("no command given");

  Arguments out;
  auto command = SubcommandNamed(args[0]);
  if (!command) return Fail("unknown command '" + args[0] + "'");
  out.command = *command;
  const std::string commandName = args[0];

  bool haveArchive = false;
  bool optionsEnded = false;
  std::string selectionFlag;
  auto choose = [&](Selection s, const std::string& flag) -> bool {
    if (out.selection != Selection::None) return false;
    out.selection = s;
    selectionFlag = flag;
    return true;
  };

  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
      if (haveArchive) return Fail("more than one archive given ('" + out.archive + "' and '" + a + "')");
      if (a.empty()) return Fail("the archive path is empty");
      out.archive = a;
      haveArchive = true;
      continue;
    }
    if (a == "--") {
      optionsEnded = true;
      continue;
    }
    // --name=value or --name value for the two flags that take a value.
    std::string name = a;
    std::optional<std::string> value;
    if (size_t eq = a.find('='); eq != std::string::npos && a.rfind("--", 0) == 0) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
    }
    auto takeValue = [&]() -> bool {
      if (value) return true;
      if (i + 1 >= args.size()) return false;
      value = args[++i];
      return true;
    };
    auto flagWithoutValue = [&]() { return !value.has_value(); };

    if (name == "--ext" || name == "--rows") {
      if (!takeValue()) return Fail(name + " needs a value");
    } else if (!flagWithoutValue()) {
      return Fail(name + " takes no value");
    }

    std::string error;
    if (name == "--json") {
      out.json = true;
    } else if (name == "--all" || name == "--ext" || name == "--rows") {
      if (out.command == Subcommand::Analyse) return Fail(name + " is not an option of analyse");
      Selection s = name == "--all" ? Selection::All
                    : name == "--ext" ? Selection::Extensions
                                      : Selection::Rows;
      if (!choose(s, name)) return Fail("choose one of --all, --ext and --rows (" + selectionFlag + " was given already)");
      if (s == Selection::Extensions && !ParseExtensions(*value, &out.extensions, &error)) return Fail(error);
      if (s == Selection::Rows && !ParseRows(*value, &out.rows, &error)) return Fail(error);
    } else if (name == "--invert") {
      if (out.command == Subcommand::Analyse) return Fail("--invert is not an option of analyse");
      out.invert = true;
    } else if (name == "--reanalyse" || name == "--reanalyze") {
      if (out.command != Subcommand::Rewrite) return Fail(name + " is an option of rewrite only");
      out.reanalyse = true;
    } else {
      return Fail("unknown option '" + name + "'");
    }
  }

  if (!haveArchive) return Fail("no archive given");
  if (out.command != Subcommand::Analyse && out.selection == Selection::None) {
    return Fail(commandName + " needs one of --all, --ext and --rows");
  }
  return ParseResult{out, ""};
}

std::string UsageLine() {
  return "usage: brimlode-cli analyse|rewrite|split|combine ARCHIVE [options]  (brimlode-cli --help)";
}

std::string HelpText() {
  const UiTexts& ui = Ui();
  auto u = [](const std::string& cp932) { return Cp932ToUtf8(cp932); };
  std::string t;
  t += "brimlode-cli: list, neutralise and regenerate ZIP and LZH archive entries\n"
       "at the level of their headers, as the window does, without a display.\n"
       "\n"
       "Usage:\n"
       "  brimlode-cli analyse ARCHIVE [--json]\n"
       "  brimlode-cli rewrite ARCHIVE (--all | --ext exe,js | --rows 0,3,7) [--invert] [--reanalyse] [--json]\n"
       "  brimlode-cli split   ARCHIVE (--all | --ext exe,js | --rows 0,3,7) [--invert] [--json]\n"
       "  brimlode-cli combine ARCHIVE (--all | --ext exe,js | --rows 0,3,7) [--invert] [--json]\n"
       "  brimlode-cli --help\n"
       "\n"
       "Every command first analyses ARCHIVE (\"" + u(ui.menuAnalyse) + "\"): format detection, then the ZIP or\n"
       "LZH walk. Then:\n"
       "  analyse   nothing more.\n"
       "  rewrite   ticks the selected rows and runs \"" + u(ui.menuRewrite) + "\": every ticked entry is\n"
       "            neutralised inside ARCHIVE itself (zeroed data, stored method, the\n"
       "            last byte of its extension turned into \"$\"). The confirmation is\n"
       "            answered Yes; the offer to analyse again is answered Yes only with\n"
       "            --reanalyse.\n"
       "  split     ticks the selected rows and runs \"" + u(ui.menuSplit) + "\": one archive per entry,\n"
       "            next to ARCHIVE, named after the entry.\n"
       "  combine   ticks the selected rows and runs \"" + u(ui.menuCombine) + "\": one archive of all\n"
       "            ticked entries next to ARCHIVE, named NAME(ReCreateNN).zip or .lzh.\n"
       "            split and combine do nothing when no row ends up ticked.\n"
       "\n"
       "Selecting rows (rewrite, split, combine; exactly one of the three):\n"
       "  --all            every listed entry.\n"
       "  --ext exe,js     entries whose extension key is one of these (the tally\n"
       "                   rows with these captions are ticked, then \"" + u(ui.reflectToList) + "\").\n"
       "                   Keys are compared lower-cased; a leading dot is ignored;\n"
       "                   --ext '' or --ext . selects names without an extension.\n"
       "  --rows 0,3,7     listing rows by 0-based index.\n"
       "  --invert         invert the ticks afterwards (everything but the selection).\n"
       "\n"
       "Output (standard output): the listing, locator table, extension tally, the\n"
       "three status panels, the gauge and the log pane after the command, as text\n"
       "(UTF-8). With --json, one JSON object instead:\n"
       "  \"kind\"      \"zip\" or \"lzh\"\n"
       "  \"panels\"    the three status panel texts\n"
       "  \"gauge\"     the gauge value, 0 to 100\n"
       "  \"log\"       the lines of the log pane\n"
       "  \"locator\"   per entry: name, Offset, Start, Size, Ext, Ext(I), Offset(I)\n"
       "  \"listing\"   per entry: name, " + u(ui.colRatio) + ", Compress, Original, " + u(ui.colPath) + ", ticked (true/false)\n"
       "  \"tally\"     per extension: key, " + u(ui.colCount) + ", ticked\n"
       "  \"messages\"  the message boxes and error boxes shown, in order\n"
       "Texts are converted from CP932 to UTF-8; bytes that are not CP932 become\n"
       "U+FFFD. Message boxes, error boxes and the answers given to questions are\n"
       "also written to standard error.\n"
       "\n"
       "Exit status:\n"
       "  analyse   0 when panel 0 reads \"" + u(ui.analysed) + "\"; 1 for any other outcome (damaged,\n"
       "            aborted, not an archive, too large)\n"
       "  rewrite   0 when the rewrite ran (with --reanalyse: and the new analysis\n"
       "            reads \"" + u(ui.analysed) + "\"); 1 when it was refused (not analysed, nothing\n"
       "            ticked)\n"
       "  split,\n"
       "  combine   0 done; 1 nothing ticked, or refused with a message box\n"
       "  all       2 usage error (unknown option, no archive, a bad or missing row);\n"
       "            3 the command ended with an error box (a file that cannot be\n"
       "            opened, created or written), or the output could not be written;\n"
       "            130 stopped by Ctrl+C (SIGINT): the command stops between entries as\n"
       "            \"" + u(ui.abort) + "\" does, finished outputs and rewritten entries stay, and a\n"
       "            combined output stopped midway is removed\n";
  return t;
}

}  // namespace brim::cli
