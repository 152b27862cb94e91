#include "cli/arguments.h"

#include <algorithm>
#include <string_view>

#include <CLI/CLI.hpp>

#include "app/dangerous_extensions.h"
#include "base/cp932.h"
#include "base/ui_texts.h"
#include "cli/cli_texts.h"

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
bool ParseExtensions(std::string_view text, std::vector<std::string>* keys, std::string* error,
                     const char* option = "--ext") {
  for (std::string& part : SplitCommas(text)) {
    std::string_view key = part;
    if (!key.empty() && key.front() == '.') key.remove_prefix(1);
    if (key.find('.') != std::string_view::npos) {
      *error = std::string(option) + ": '" + part + "' is not an extension (a key holds no dot)";
      return false;
    }
    bool ok = true;
    std::string cp932 = Utf8ToCp932(key, &ok);
    if (!ok) {
      *error = std::string(option) + ": '" + part + "' cannot be written in CP932";
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
                                     {"combine", nullptr, Subcommand::Combine},
                                     {"mail", nullptr, Subcommand::Mail}};

ParseResult Fail(std::string error) { return ParseResult{std::nullopt, std::move(error)}; }

// Where the results go, checked against the archives given.
std::string OutputProblem(const Arguments& a) {
  if (a.command == Subcommand::Mail) {
    if (a.archives.size() > 2) return "mail reads one message: give at most IN and OUT";
    if (a.policy != "replace" && a.policy != "reject" && a.policy != "pass")
      return "--policy: '" + a.policy + "' is not one of replace, reject and pass";
    return "";
  }
  if (a.summary && !a.report) return "--summary shortens --report; give --report too";
  const bool fromStandardInput =
      std::find(a.archives.begin(), a.archives.end(), kStandardInput) != a.archives.end();
  if (a.json && a.report) return "choose one of --json and --report";
  if (a.output.empty() && a.outputDir.empty()) {
    if (fromStandardInput && a.command == Subcommand::Rewrite)
      return "rewrite of standard input ('-') needs --output or --output-dir";
    if (fromStandardInput && a.command != Subcommand::Analyse)
      return "split and combine write beside the archive, so they need a file, not standard input ('-')";
    return "";
  }
  if (!a.output.empty() && !a.outputDir.empty()) return "choose one of --output and --output-dir";
  // Standard output carries the listing or the report: a copy there would
  // mix with it, and a file named "-" is not what was meant.
  if (a.output == kStandardInput) return "--output needs a file name; '-' (standard output) is not one";
  if (!a.output.empty() && a.archives.size() > 1)
    return "--output names one file; with several archives use --output-dir";
  return "";
}

// "--name=value" -> "--name".
std::string OptionName(const std::string& token) {
  const size_t eq = token.find('=');
  return token.rfind("--", 0) == 0 && eq != std::string::npos ? token.substr(0, eq) : token;
}

// mail's --report names a file; elsewhere it is a flag.
bool TakesValue(const std::string& token, bool mail = false) {
  return token == "--ext" || token == "--rows" || token == "--output" || token == "--output-dir" ||
         (mail && (token == "--report" || token == "--policy"));
}

// What the parser is told: the command line reversed, as CLI11 takes it. A
// value of --ext or --rows is whatever follows, even when it starts with a
// dash ("--rows -1" is a bad row, not a missing one), so such a value is
// joined to its flag; an empty one stays a word of its own.
std::vector<std::string> ForParser(const std::vector<std::string>& args) {
  std::vector<std::string> words;
  bool optionsEnded = false;
  const bool mail = !args.empty() && args[0] == "mail";
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string name = OptionName(args[i]);
    if (args[i] == "--") optionsEnded = true;
    if (optionsEnded || !TakesValue(name, mail) || (name == args[i] && i + 1 == args.size())) {
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

// The parser as the commands declare it. Values land in out and in the raw
// texts of --ext and --rows, which are checked after parsing.
struct Parser {
  CLI::App app{"brimlode-cli"};
  Arguments out;
  std::vector<std::string> archives;  // every positional, to word "more than one"
  std::string extText, rowsText, dangerousAddText;

  Parser() {
    app.set_help_flag();  // --help is found before parsing, wherever it stands
    app.require_subcommand(1);
    for (const CommandSpec& c : kCommands) {
      CLI::App* sub = app.add_subcommand(c.name);
      if (c.alias) sub->alias(c.alias);
      sub->set_help_flag();
      sub->allow_extras();  // unknown options are worded below
      sub->add_option("archive", archives);
      sub->add_flag("--quiet", out.quiet)->disable_flag_override();
      sub->add_flag("--summary", out.summary)->disable_flag_override();
      if (c.id == Subcommand::Mail) {
        sub->add_option("--report", out.mailReport);
        sub->add_option("--policy", out.policy);
      } else {
        sub->add_flag("--json", out.json)->disable_flag_override();
        sub->add_flag("--report", out.report)->disable_flag_override();
      }
      sub->add_option("--dangerous-add", dangerousAddText);
      if (c.id == Subcommand::Analyse) continue;
      CLI::Option_group* select = sub->add_option_group(kSelecting);
      select->add_flag("--all")->disable_flag_override();
      select->add_option("--ext", extText);
      if (c.id != Subcommand::Mail) select->add_option("--rows", rowsText);
      select->add_flag("--dangerous")->disable_flag_override();
      // A gateway without a word about rows neutralises the dangerous ones.
      if (c.id == Subcommand::Mail) {
        select->require_option(0, 1);
        continue;
      }
      select->require_option(1);
      sub->add_flag("--invert", out.invert)->disable_flag_override();
      sub->add_flag("--dry-run", out.dryRun)->disable_flag_override();
      if (c.id == Subcommand::Rewrite) {
        sub->add_flag("--reanalyse,--reanalyze", out.reanalyse)->disable_flag_override();
        sub->add_option("--output", out.output);
        sub->add_option("--output-dir", out.outputDir);
      }
    }
  }

  CLI::App* Command() const {
    auto used = app.get_subcommands();
    return used.empty() ? nullptr : used.front();
  }
  static const CLI::Option_group* Selection(const CLI::App* sub) {
    auto groups = sub->get_subcommands([](const CLI::App* g) { return g->get_group() == kSelecting; });
    return groups.empty() ? nullptr : static_cast<const CLI::Option_group*>(groups.front());
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
      if (TakesValue(args[i], sub->get_name() == "mail")) {
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
    if (sub->get_name() == "mail") {
      return given.size() > 1 ? "choose one of --all, --ext and --dangerous (" + given.front() + " was given already)" : "";
    }
    if (given.empty()) return sub->get_name() + " needs one of --all, --ext, --rows and --dangerous";
    if (given.size() > 1)
      return "choose one of --all, --ext, --rows and --dangerous (" + given.front() + " was given already)";
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
  if (args.size() == 1 && args[0] == "--list-dangerous") {
    Arguments list;
    list.listDangerous = true;
    return ParseResult{list, ""};
  }
  if (args.size() == 1 && (args[0] == "--version" || args[0] == "-V")) {
    Arguments version;
    version.version = true;
    return ParseResult{version, ""};
  }
  if (args.empty()) return Fail("no command given");

  // Every word after "--" is an archive, whatever it looks like.
  const auto endOfOptions = std::find(args.begin(), args.end(), std::string("--"));
  const std::vector<std::string> options(args.begin(), endOfOptions);
  Parser p;
  try {
    p.app.parse(ForParser(options));
  } catch (const CLI::ParseError& e) {
    return Fail(p.Explain(e, options));
  }
  if (endOfOptions != args.end()) p.archives.insert(p.archives.end(), endOfOptions + 1, args.end());
  const CLI::App* sub = p.Command();
  for (const CommandSpec& c : kCommands)
    if (sub->get_name() == c.name) p.out.command = c.id;
  for (const std::string& extra : sub->remaining()) {
    if (extra != "--") return Fail(p.Unknown(sub, extra));
  }

  Arguments& out = p.out;
  const bool mail = p.out.command == Subcommand::Mail;
  for (const char* name : {"--output", "--output-dir", "--report", "--policy"}) {
    if (!mail && (std::string_view(name) == "--report" || std::string_view(name) == "--policy")) continue;
    const CLI::Option* option = sub->get_option_no_throw(name);
    if (option && option->count() > 0 && option->as<std::string>().empty())
      return Fail(std::string(name) + " needs a name");
  }
  if (out.command == Subcommand::Mail) {
    out.archives = p.archives;
    if (!p.archives.empty()) out.mailInput = p.archives[0];
    if (p.archives.size() > 1) out.mailOutput = p.archives[1];
    for (const std::string& path : p.archives)
      if (path.empty()) return Fail("the message path is empty");
    if (std::string problem = OutputProblem(out); !problem.empty()) return Fail(problem);
    if (std::string problem = p.SelectionProblem(sub); !problem.empty()) return Fail(problem);
    const std::vector<std::string> given = p.SelectionGiven(sub);
    out.selection = Selection::Dangerous;
    if (!given.empty() && given[0] == "--all") out.selection = Selection::All;
    if (!given.empty() && given[0] == "--ext") {
      out.selection = Selection::Extensions;
      std::string error;
      if (!ParseExtensions(p.extText, &out.extensions, &error)) return Fail(error);
    }
    return ParseResult{out, ""};
  }
  if (p.archives.empty()) return Fail("no archive given");
  for (const std::string& archive : p.archives)
    if (archive.empty()) return Fail("the archive path is empty");
  if (std::count(p.archives.begin(), p.archives.end(), kStandardInput) > 1)
    return Fail("standard input ('-') can be read only once");
  out.archive = p.archives[0];
  out.archives = p.archives;
  if (std::string problem = OutputProblem(out); !problem.empty()) return Fail(problem);

  if (const CLI::Option* add = sub->get_option_no_throw("--dangerous-add"); add && add->count() > 0) {
    std::string error;
    if (!ParseExtensions(p.dangerousAddText, &out.dangerousAdd, &error, "--dangerous-add")) return Fail(error);
  }
  if (std::string problem = p.SelectionProblem(sub); !problem.empty()) return Fail(problem);
  const std::vector<std::string> given = p.SelectionGiven(sub);
  if (given.empty()) return ParseResult{out, ""};
  std::string error;
  if (given[0] == "--all") out.selection = Selection::All;
  if (given[0] == "--dangerous") out.selection = Selection::Dangerous;
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

std::string VersionNumber() {
  // One version for the window's About box and the command line.
  const std::string& about = Ui().aboutVersion;
  const size_t v = about.rfind(" v");
  return v == std::string::npos ? about : about.substr(v + 2);
}

std::string VersionText() { return "brimlode-cli " + VersionNumber() + "\n"; }

std::string UsageLine() { return CliText(CliTextId::UsageHint); }

std::string DangerousListText() {
  std::string t;
  for (std::string_view key : DangerousExtensions()) {
    t += key;
    t += '\n';
  }
  for (const std::string& key : SiteDangerousExtensions()) t += key + '\n';
  return t;
}

std::string HelpText() {
  const UiTexts& ui = Ui();
  auto u = [](const std::string& cp932) { return Cp932ToUtf8(cp932); };
  // The list, wrapped under its option's text.
  std::string dangerous;
  size_t column = 19;
  for (std::string_view key : DangerousExtensions()) {
    if (!dangerous.empty() && column + 1 + key.size() > 79) {
      dangerous += "\n                   ";
      column = 19;
    } else if (!dangerous.empty()) {
      dangerous += ' ';
      ++column;
    }
    dangerous += key;
    column += key.size();
  }
  std::string t;
  t += "brimlode-cli: list, neutralise and regenerate ZIP and LZH archive entries\n"
       "at the level of their headers, as the window does, without a display.\n"
       "\n"
       "Usage:\n"
       "  brimlode-cli analyse ARCHIVE... [--json | --report] [--quiet]\n"
       "  brimlode-cli rewrite ARCHIVE... SELECTION [--invert] [--output FILE | --output-dir DIR]\n"
       "                       [--reanalyse] [--dry-run] [--json | --report] [--quiet]\n"
       "  brimlode-cli split   ARCHIVE... SELECTION [--invert] [--dry-run] [--json | --report] [--quiet]\n"
       "  brimlode-cli combine ARCHIVE... SELECTION [--invert] [--dry-run] [--json | --report] [--quiet]\n"
       "  brimlode-cli mail [--dangerous | --ext exe,js | --all] [--policy replace|reject|pass]\n"
       "                    [--report FILE [--summary]] [IN [OUT]]\n"
       "  brimlode-cli --help | --version | -V\n"
       "  brimlode-cli --help | --version | -V | --list-dangerous\n"
       "SELECTION is one of --all, --ext exe,js, --rows 0,3,7 and --dangerous.\n"
       "\n"
       "Every command first analyses each ARCHIVE (\"" + u(ui.menuAnalyse) + "\"): format detection, then the\n"
       "ZIP or LZH walk. ARCHIVE \"-\" is standard input, read into a private\n"
       "temporary file first (analyse, and rewrite with --output or --output-dir).\n"
       "Then:\n"
       "  analyse   nothing more.\n"
       "  rewrite   ticks the selected rows and runs \"" + u(ui.menuRewrite) + "\": every ticked entry is\n"
       "            neutralised (zeroed data, stored method, the last byte of its\n"
       "            extension turned into \"$\"), inside ARCHIVE itself unless --output\n"
       "            or --output-dir is given. The confirmation is answered Yes; the\n"
       "            offer to analyse again is answered Yes only with --reanalyse.\n"
       "  split     ticks the selected rows and runs \"" + u(ui.menuSplit) + "\": one archive per entry,\n"
       "            next to ARCHIVE, named after the entry.\n"
       "  combine   ticks the selected rows and runs \"" + u(ui.menuCombine) + "\": one archive of all\n"
       "            ticked entries next to ARCHIVE, named NAME(ReCreateNN).zip or .lzh.\n"
       "            split and combine do nothing when no row ends up ticked.\n"
       "  mail      reads one message (IN, or standard input) and writes it (OUT, a\n"
       "            new name, or standard output) with every ZIP and LZH attachment,\n"
       "            found by its bytes at any depth, neutralised as rewrite would\n"
       "            (--dangerous unless --ext or --all is given), and one header\n"
       "            \"X-Brimlode:\" added (one the message had is removed). Every\n"
       "            other byte stays. --policy says what happens to a part that cannot\n"
       "            be made safe (damaged, partly done, encrypted names, undecodable):\n"
       "            replace (default: a short Japanese and English text instead),\n"
       "            reject (status 77), pass (delivered as it is). --report FILE\n"
       "            appends the report line of each archive to FILE.\n"
       "            Exit status, for a mail server's pipe: 0 delivered, 64 usage,\n"
       "            73 OUT exists, 75 input/output failure (try again later),\n"
       "            77 refused by --policy reject.\n"
       "\n"
       "Selecting rows (rewrite, split, combine; exactly one of the four):\n"
       "  --all            every listed entry.\n"
       "  --ext exe,js     entries whose extension key is one of these (the tally\n"
       "                   rows with these captions are ticked, then \"" + u(ui.reflectToList) + "\").\n"
       "                   Keys are compared lower-cased; a leading dot is ignored;\n"
       "                   --ext '' or --ext . selects names without an extension.\n"
       "  --rows 0,3,7     listing rows by 0-based index.\n"
       "  --dangerous      entries any copy of whose name has an extension that runs\n"
       "                   code on Windows or mounts as a disk (\"" + u(ui.dangerousExtensions) + "\"): the\n"
       "                   attachment types the mail clients for Windows block, plus\n"
       "                   OneNote notebooks, libraries and drivers (macro documents\n"
       "                   such as docm and xlsm are not on it; --list-dangerous\n"
       "                   prints it one a line):\n"
       "                   " + dangerous + "\n"
       "  --dangerous-add EXT,...\n"
       "                   (every command) adds a site's own extensions to that list.\n"
       "  --invert         invert the ticks afterwards (everything but the selection).\n"
       "\n"
       "Where results go:\n"
       "  --output FILE    rewrite: the neutralised archive is written to FILE, a new\n"
       "                   name; ARCHIVE is only read. FILE appears complete or not at\n"
       "                   all (written under a temporary name in its folder, then\n"
       "                   renamed, never over anything that exists). One archive only;\n"
       "                   '-' is a usage error (standard output carries the listing).\n"
       "  --output-dir DIR rewrite: the same, into DIR, each copy named after its\n"
       "                   archive (standard input: stdin.zip or stdin.lzh); a later\n"
       "                   archive of the same name becomes NAME(2).EXT, NAME(3).EXT...\n"
       "                   With nothing selected, no copy is written (status 1).\n"
       "  --dry-run        rewrite, split, combine: analyse and tick, report what would\n"
       "                   be done (the report's \"changes\", else a line each on\n"
       "                   standard error), write nothing.\n"
       "  --quiet          leave out the questions and their answers on standard error.\n"
       "  --summary        with --report: per archive the counts of entries, selected,\n"
       "                   neutralised, written, not done, dangerous, encrypted and\n"
       "                   of each mark, instead of a line per entry.\n"
       "\n"
       "Output (standard output): the listing, locator table, extension tally, the\n"
       "three status panels, the gauge and the log pane after the command, as text\n"
       "(UTF-8); with several archives each is headed \"==> ARCHIVE <==\". With --json,\n"
       "one JSON object per archive instead:\n"
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
       "With --report, one JSON document per archive on one line (JSON Lines), for\n"
       "scripts: \"schema\" (1), \"tool\", \"version\", \"archive\", \"command\", \"format\",\n"
       "\"analysis\", \"status\", \"reason\", \"dry_run\", \"output\", \"leading_bytes\" (the\n"
       "bytes before the archive proper: a self-extractor's program), \"entries\" (per entry:\n"
       "\"index\", \"name\", \"name_hex\", \"encoding\", \"folder\", \"extension\", \"dangerous\",\n"
       "\"compressed_size\", \"original_size\", \"header_offset\", \"data_offset\",\n"
       "\"central_offset\", \"method\", \"encrypted\", \"marks\", \"names\", \"selected\",\n"
       "\"neutralised\", \"written\", \"output\", \"not_done\"), \"changes\" (\"action\",\n"
       "\"index\", \"path\") and \"messages\".\n"
       "\n"
       "Exit status (with several archives, the worst of theirs in the order\n"
       "130, 2, 3, 4, 5, 0, 1; 1 only when no archive had anything to do):\n"
       "  0    done: analysed (panel 0 reads \"" + u(ui.analysed) + "\"), or every selected entry\n"
       "       neutralised or written\n"
       "  1    nothing to do: no entry selected or matched\n"
       "  2    usage error (unknown option, no archive, a bad or missing row)\n"
       "  3    input/output or system error: a file that cannot be opened, read,\n"
       "       created or written, an output name that is taken, standard output\n"
       "       that cannot be written\n"
       "  4    refused: not an archive, damaged (\"" + u(ui.damagedZip) + "\", \"" + u(ui.damagedLzh) + "\"), too large,\n"
       "       or changed since analysis; split and combine of a damaged listing's\n"
       "       rows report what they wrote instead\n"
       "  5    partly done: some selected entries could not be done (an individual\n"
       "       output whose name exists is skipped)\n"
       "  130  stopped by Ctrl+C (SIGINT; SIGTERM gives 143, SIGHUP 129): the command\n"
       "       stops between entries as \"" + u(ui.abort) + "\" does, finished outputs and rewritten\n"
       "       entries stay, a combined output stopped midway is removed, and an\n"
       "       --output copy is not written\n"
       "The report's \"reason\" names the case: done, nothing_selected, usage,\n"
       "cannot_open, cannot_read, cannot_create, cannot_write, output_exists, error,\n"
       "not_an_archive, damaged_zip, damaged_lzh, lzh_and_zip, not_analysed, too_large,\n"
       "changed_since_analysis, names_taken, too_many_entries, refused,\n"
       "reanalysis_incomplete, partly_done, interrupted.\n";
  return t;
}

}  // namespace brim::cli
