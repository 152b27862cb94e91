#include "cli/arguments.h"

#include <string_view>

#include <CLI/CLI.hpp>

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

struct CommandSpec {
  const char* name;
  const char* alias;  // American spelling, or none
  Subcommand id;
};
constexpr CommandSpec kCommands[] = {{"analyse", "analyze", Subcommand::Analyse},
                                     {"rewrite", nullptr, Subcommand::Rewrite},
                                     {"split", nullptr, Subcommand::Split},
                                     {"combine", nullptr, Subcommand::Combine}};

ParseResult Fail(std::string error) { return ParseResult{std::nullopt, std::move(error)}; }

// "--name=value" -> "--name".
std::string OptionName(const std::string& token) {
  const size_t eq = token.find('=');
  return token.rfind("--", 0) == 0 && eq != std::string::npos ? token.substr(0, eq) : token;
}

bool TakesValue(const std::string& token) { return token == "--ext" || token == "--rows"; }

// What the parser is told: the command line reversed, as CLI11 takes it. A
// value of --ext or --rows is whatever follows, even when it starts with a
// dash ("--rows -1" is a bad row, not a missing one), so such a value is
// joined to its flag; an empty one stays a word of its own.
std::vector<std::string> ForParser(const std::vector<std::string>& args) {
  std::vector<std::string> words;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string name = OptionName(args[i]);
    if (args[i] == "--") optionsEnded = true;
    if (optionsEnded || !TakesValue(name) || (name == args[i] && i + 1 == args.size())) {
      words.push_back(args[i]);
      continue;
    }
    const std::string value = name == args[i] ? args[++i] : args[i].substr(name.size() + 1);
    if (!value.empty() && value[0] == '-') {
      words.push_back(name + "=" + value);
    } else {
      words.push_back(name);
      words.push_back(value);
    }
  }
  return {words.rbegin(), words.rend()};
}

constexpr const char* kSelecting = "Selecting rows";

// The parser as the commands declare it. Values land in *out and in the raw
// texts of --ext and --rows, checked after parsing.
struct Parser {
  CLI::App app{"brimlode-cli"};
  Arguments out;
  std::vector<std::string> archives;  // every positional, to word "more than one"
  std::string extText, rowsText;

  Parser() {
    app.set_help_flag();  // --help is found before parsing, wherever it stands
    app.require_subcommand(1);
    for (const CommandSpec& c : kCommands) {
      CLI::App* sub = app.add_subcommand(c.name);
      if (c.alias) sub->alias(c.alias);
      sub->set_help_flag();
      sub->allow_extras();  // unknown options are worded below
      sub->add_option("archive", archives);
      sub->add_flag("--json", out.json)->disable_flag_override();
      if (c.id == Subcommand::Analyse) continue;
      CLI::Option_group* select = sub->add_option_group(kSelecting);
      select->add_flag("--all")->disable_flag_override();
      select->add_option("--ext", extText);
      select->add_option("--rows", rowsText);
      select->require_option(1);
      sub->add_flag("--invert", out.invert)->disable_flag_override();
      if (c.id == Subcommand::Rewrite) {
        sub->add_flag("--reanalyse,--reanalyze", out.reanalyse)->disable_flag_override();
      }
    }
  }

  CLI::App* Command() const {
    auto used = app.get_subcommands();
    return used.empty() ? nullptr : used.front();
  }
  static const CLI::Option_group* Selection(const CLI::App* sub) {
    for (const CLI::App* g : sub->get_subcommands([](const CLI::App* g) { return g->get_group() == kSelecting; }))
      return static_cast<const CLI::Option_group*>(g);
    return nullptr;
  }
  // The selection flags in the order given.
  static std::vector<std::string> SelectionGiven(const CLI::App* sub) {
    std::vector<std::string> given;
    if (const CLI::Option_group* group = Selection(sub)) {
      for (const CLI::Option* o : group->parse_order()) given.push_back("--" + o->get_single_name());
    }
    return given;
  }

  // An option the command does not have: another command's, or none.
  std::string Unknown(const CLI::App* sub, const std::string& token) const {
    const std::string name = OptionName(token);
    bool rewriteHasIt = false, anotherHasIt = false;
    for (const CommandSpec& c : kCommands) {
      const CLI::App* other = app.get_subcommand(c.name);
      if (other == sub) continue;
      (c.id == Subcommand::Rewrite ? rewriteHasIt : anotherHasIt) |= Has(other, name);
    }
    if (rewriteHasIt && !anotherHasIt) return name + " is an option of rewrite only";
    if (rewriteHasIt) return name + " is not an option of " + sub->get_name();
    return "unknown option '" + name + "'";
  }

  // A parse the library refused, in our words.
  std::string Explain(const CLI::ParseError& e, const std::vector<std::string>& args) const {
    const CLI::App* sub = Command();
    if (!sub) return "unknown command '" + args[0] + "'";
    // A word after "--" when the archive was given already.
    if (dynamic_cast<const CLI::ExtrasError*>(&e) && !archives.empty() && !app.remaining().empty())
      return "more than one archive given ('" + archives[0] + "' and '" + app.remaining()[0] + "')";
    for (size_t i = 1; i < args.size() && args[i] != "--"; ++i) {
      const std::string name = OptionName(args[i]);
      if (TakesValue(args[i])) {
        if (i + 1 == args.size()) return name + " needs a value";
        ++i;
      } else if (name != args[i] && !TakesValue(name)) {
        return Has(sub, name) ? name + " takes no value" : Unknown(sub, name);
      }
    }
    std::string problem = SelectionProblem(sub);
    return problem.empty() ? e.what() : problem;
  }

  static bool Has(const CLI::App* sub, const std::string& name) {
    const CLI::Option_group* group = Selection(sub);
    return sub->get_option_no_throw(name) || (group && group->get_option_no_throw(name));
  }

  // Exactly one of the three, once.
  std::string SelectionProblem(const CLI::App* sub) const {
    if (!Selection(sub)) return "";
    const std::vector<std::string> given = SelectionGiven(sub);
    if (given.empty()) return sub->get_name() + " needs one of --all, --ext and --rows";
    if (given.size() > 1)
      return "choose one of --all, --ext and --rows (" + given.front() + " was given already)";
    return "";
  }
};

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

  Parser p;
  try {
    p.app.parse(ForParser(args));
  } catch (const CLI::ParseError& e) {
    return Fail(p.Explain(e, args));
  }
  const CLI::App* sub = p.Command();
  for (const CommandSpec& c : kCommands)
    if (sub->get_name() == c.name) p.out.command = c.id;
  for (const std::string& extra : sub->remaining()) {
    if (extra != "--") return Fail(p.Unknown(sub, extra));
  }

  Arguments& out = p.out;
  if (p.archives.empty()) return Fail("no archive given");
  if (p.archives.size() > 1)
    return Fail("more than one archive given ('" + p.archives[0] + "' and '" + p.archives[1] + "')");
  if (p.archives[0].empty()) return Fail("the archive path is empty");
  out.archive = p.archives[0];

  if (std::string problem = p.SelectionProblem(sub); !problem.empty()) return Fail(problem);
  const std::vector<std::string> given = p.SelectionGiven(sub);
  if (given.empty()) return ParseResult{out, ""};
  std::string error;
  if (given[0] == "--all") out.selection = Selection::All;
  if (given[0] == "--ext") {
    out.selection = Selection::Extensions;
    if (!ParseExtensions(p.extText, &out.extensions, &error)) return Fail(error);
  }
  if (given[0] == "--rows") {
    out.selection = Selection::Rows;
    if (!ParseRows(p.rowsText, &out.rows, &error)) return Fail(error);
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
