#include "cli/cli.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <unistd.h>
#include <functional>
#include <filesystem>
#include <memory>
#include <set>
#include <system_error>

#include "form/Unit1.h"
#include "app/application.h"
#include "app/check_marks.h"
#include "app/dangerous_extensions.h"
#include "app/entry_tables.h"
#include "base/cp932.h"
#include "base/file_stream.h"
#include "base/ui_texts.h"
#include "cli/arguments.h"
#include "cli/cli_desktop.h"
#include "cli/exit_status.h"
#include "cli/cli_texts.h"
#include "cli/output_copy.h"
#include "cli/report_writer.h"
#include "cli/state_printer.h"
#include "cli/text_cells.h"
#include "regenerate/output_naming.h"

namespace brim::cli {

namespace {

void Print(std::FILE* f, const std::string& text) {
  if (f) std::fwrite(text.data(), 1, text.size(), f);
}

int UsageError(std::FILE* err, const std::string& message) {
  Print(err, "brimlode-cli: " + message + "\n" + UsageLine() + "\n");
  return kExitUsage;
}

// Ticks the selected rows the way a user of the window would: row check
// boxes, tally check boxes and the check-mark commands.
void TickSelection(TForm1& form, const Arguments& a) {
  ProgramState& s = form.state;
  switch (a.selection) {
    case Selection::All:
      form.N9Click();
      break;
    case Selection::Extensions:
      for (size_t row = 0; row < s.ListView5.Count(); ++row) {
        for (const std::string& key : a.extensions) {
          if (s.ListView5.Caption(row) == key) s.ListView5.SetChecked(row, true);
        }
      }
      form.N8Click();
      break;
    case Selection::Rows:
      for (uint64_t row : a.rows) s.ListView2.SetChecked(static_cast<size_t>(row), true);
      break;
    case Selection::Dangerous:  // as the window's 危険な拡張子 button
      form.DangerousClick();
      break;
    case Selection::None:
      break;
  }
  if (a.invert) form.N11Click();
  // Rows a killed rewrite left half done are finished by any selection.
  if (a.selection != Selection::None) CheckHalfNeutralised(s);
}

}  // namespace

std::string AbsolutePath(const std::string& given, const std::string& cwd) {
  std::string joined = !given.empty() && given[0] == '/' ? given : cwd + "/" + given;
  std::string out;
  size_t i = 0;
  while (i < joined.size()) {
    size_t slash = joined.find('/', i);
    if (slash == std::string::npos) slash = joined.size();
    std::string_view segment(joined.data() + i, slash - i);
    if (!segment.empty() && segment != ".") {
      out += '/';
      out += segment;
    }
    i = slash + 1;
  }
  // A trailing "/" names a folder; keep it so the path still says so.
  if (!given.empty() && given.back() == '/') out += '/';
  return out.empty() ? "/" : out;
}

int Run(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  std::unique_ptr<Desktop> desktop;
  std::unique_ptr<TForm1> form;
  return RunKeepingState(args, out, err, desktop, form);
}

namespace {

// The rows ticked now, by row.
std::vector<bool> TickedRows(const ProgramState& s) {
  std::vector<bool> ticked(s.ListView2.Count());
  for (size_t row = 0; row < ticked.size(); ++row) ticked[row] = s.ListView2.Checked(row);
  return ticked;
}

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// The native paths of the log lines "PATH を出力しました" from line first on.
std::vector<std::string> WrittenPaths(const Memo& log, size_t first) {
  std::vector<std::string> paths;
  const std::string& written = Ui().logWritten;
  for (size_t i = first; i < log.Count(); ++i) {
    const std::string_view line = log.Line(i);
    if (EndsWith(line, written)) paths.push_back(Cp932ToUtf8(line.substr(0, line.size() - written.size())));
  }
  return paths;
}

// Which of the first rows the last command left undone, marked at once:
// looking each row up among them would take rows × refusals steps when every
// row of a large archive is refused.
std::vector<bool> RowsNotDone(const ProgramState& s, size_t rows) {
  std::vector<bool> notDone(rows);
  for (const ProgramState::RowNotDone& n : s.RowsNotDone) {
    if (n.row < rows) notDone[n.row] = true;
  }
  return notDone;
}

size_t LinesEndingWith(const Memo& log, size_t first, std::string_view tail) {
  size_t n = 0;
  for (size_t i = first; i < log.Count(); ++i) n += EndsWith(log.Line(i), tail);
  return n;
}

// The plain message box among texts that refused the command, if any.
Refusal RefusalOf(const std::vector<std::string>& boxes, size_t messages) {
  const UiTexts& ui = Ui();
  for (const std::string& box : boxes) {
    if (box == ui.fileTooLarge) return Refusal::TooLarge;
    if (box == ui.notAnalysed || EndsWith(box, ui.analyseAgain)) return Refusal::NotAnalysed;
    if (box == ui.nothingChecked) return Refusal::NothingChecked;
    if (box == ui.allReCreateNamesTaken) return Refusal::NamesTaken;
    if (box == ui.tooManyEntriesForZip) return Refusal::TooManyEntries;
  }
  return messages > 0 ? Refusal::Other : Refusal::None;
}

// leaf, or when an earlier archive of this call took that name, the first
// of "NAME(2).EXT", "NAME(3).EXT" ... none took: two archives of one name
// from different folders both get a copy, named by the order given.
std::string UnusedLeaf(const std::string& leaf, std::set<std::string>& taken) {
  std::string name = leaf;
  const size_t dot = leaf.rfind('.');
  const bool hasExtension = dot != std::string::npos && dot > 0;
  for (uint64_t n = 2; !taken.insert(name).second; ++n) {
    const std::string mark = "(" + std::to_string(n) + ")";
    name = hasExtension ? leaf.substr(0, dot) + mark + leaf.substr(dot) : leaf + mark;
  }
  return name;
}

// Where rewrite --output or --output-dir puts this archive's copy; empty
// for a rewrite in place. taken: the names given to earlier archives'
// copies in --output-dir.
std::string OutputTarget(const Arguments& a, const std::string& given, const std::string& cwd,
                         ArchiveKindType kind, std::set<std::string>& taken) {
  if (!a.output.empty()) return AbsolutePath(a.output, cwd);
  if (a.outputDir.empty()) return "";
  std::string leaf = given == kStandardInput ? std::string("stdin") + (kind == ArchiveKindType::Zip ? ".zip" : ".lzh")
                                             : std::string(NativeFileNamePart(given));
  return AbsolutePath(a.outputDir, cwd) + "/" + UnusedLeaf(leaf, taken);
}

}  // namespace

ArchiveRun RunArchive(const Arguments& a, const std::string& given, const std::string& path,
                      const std::string& cwd, std::FILE* err, std::unique_ptr<Desktop>& desktopOut,
                      std::unique_ptr<TForm1>& formOut, ArchiveReport& report, std::set<std::string>* taken) {
  auto* cliDesktop = new CliDesktop(err, a.reanalyse);
  formOut.reset();
  desktopOut.reset(cliDesktop);
  CliDesktop& desktop = *cliDesktop;
  desktop.SetQuiet(a.quiet);
  formOut = std::make_unique<TForm1>(desktop);
  TForm1& form = *formOut;
  ProgramState& s = form.state;
  form.FormCreate();
  desktop.SetAbortFlag(&s.AbortRequested);

  RunRecord record;
  record.command = a.command;
  record.reanalyse = a.reanalyse;
  report.archive = given;
  report.command = a.command;
  report.dryRun = a.dryRun;
  report.summary = a.summary;

  // A failure's kind, noted on its way to the error box.
  auto run = [&](const std::function<void()>& command) {
    return RunCommand(desktop, [&] {
      try {
        command();
      } catch (const CommandError& e) {
        record.failure = e.Failure();
        const std::string& changed = Ui().fileChangedSinceAnalysis;
        record.changedSinceAnalysis = EndsWith(e.Text(), changed.substr(changed.find("%s") + 2));
        throw;
      }
    });
  };

  bool ok = run([&] { form.DropFiles({path}); }) && run([&] { form.Zip1Click(); });
  record.analysis = s.StatusBar1.Outcome();
  if (ok && a.report) report.facts = ReadHeaderFacts(s);

  if (ok && a.command != Subcommand::Analyse) {
    size_t rows = s.ListView2.Count();
    for (uint64_t row : a.rows) {
      if (row >= rows) {
        Print(err, "brimlode-cli: " + CliText(CliTextId::NoSuchRow, row, rows) + "\n" + UsageLine() + "\n");
        record.usage = true;
        report.verdict = Judge(record);
        return ArchiveRun{report.verdict, true};
      }
    }
    TickSelection(form, a);
    report.selected = TickedRows(s);

    const size_t ticked = CountChecked(s);
    const bool canRun = s.StatusBar1.Outcome() == AnalysisOutcome::Analysed && ticked > 0;
    const size_t questionsBefore = desktop.Questions().size();
    const size_t logBefore = s.Memo1.Count();
    switch (a.command) {
      case Subcommand::Rewrite: {
        std::set<std::string> ownNames;
        const std::string target = OutputTarget(a, given, cwd, s.ArchiveKind, taken ? *taken : ownNames);
        // report.output names the copy only once it is written.
        // A dry run never reaches the rewrite, whatever the listing.
        if (a.dryRun && ticked > 0) {
          if (!canRun) break;
          record.confirmed = true;
          if (!target.empty() && PathTaken(target)) {
            record.outputExists = true;
            break;
          }
          for (size_t row = 0; row < report.selected.size(); ++row)
            if (report.selected[row]) report.changes.push_back({"would_neutralise", static_cast<int64_t>(row), ""});
          if (!target.empty()) report.changes.push_back({"would_create", -1, target});
          break;
        }
        // Entries zeroed, counted from the rewrite's log before a new
        // analysis clears it, or after a rewrite that ended otherwise.
        size_t neutralised = 0;
        bool counted = false;
        desktop.SetBeforeAnswer([&](const std::string& question) {
          if (question != Ui().confirmReanalyse) return;
          neutralised = LinesEndingWith(s.Memo1, logBefore, Ui().logZeroed);
          counted = true;
        });
        OutputCopy copy;
        if (!target.empty() && ticked > 0) {
          // Only a full listing is copied; without a copy the rewrite would
          // run on the source, which --output never writes.
          if (!canRun) break;
          if (PathTaken(target)) {
            record.outputExists = true;
            break;
          }
          bool made = false;
          if (!run([&] { made = copy.Make(s, target); })) ok = false;
          if (!made) break;
        }
        ok = run([&] { form.N2Click(); });
        desktop.SetBeforeAnswer(nullptr);
        if (!counted) neutralised = LinesEndingWith(s.Memo1, logBefore, Ui().logZeroed);
        record.confirmed = desktop.Questions().size() > questionsBefore &&
                           desktop.Questions()[questionsBefore] == Ui().confirmRewrite;
        const std::vector<bool> notDone = RowsNotDone(s, report.selected.size());
        report.changes.reserve(report.changes.size() + neutralised + 1);
        for (size_t row = 0, left = neutralised; row < report.selected.size() && left > 0; ++row) {
          if (!report.selected[row] || notDone[row]) continue;
          report.changes.push_back({"neutralised", static_cast<int64_t>(row), ""});
          --left;
        }
        // Complete or absent: a copy stopped or failed part way keeps no name.
        bool published = false;
        if (!target.empty() && record.confirmed && ok && !Interrupted() && desktop.ErrorCount() == 0) {
          published = copy.Publish();
          if (published) {
            report.changes.push_back({"created", -1, target});
            report.output = target;
          } else {
            record.outputExists = true;
          }
        }
        // A copy that got no name took its neutralised entries with it.
        if (!target.empty() && !published) report.changes.clear();
        break;
      }
      case Subcommand::Split:
      case Subcommand::Combine:
        // The window would still run the command (combine even writes an
        // empty archive); a script asking for nothing gets nothing.
        if (ticked == 0) {
          record.nothingTicked = true;
          Print(err, "brimlode-cli: " + CliText(CliTextId::NothingTicked) + "\n");
        } else if (a.dryRun) {
          const bool zip = s.ArchiveKind == ArchiveKindType::Zip;
          const std::string suffix = zip ? ".zip" : ".lzh";
          if (a.command == Subcommand::Combine) {
            report.changes.push_back({"would_create", -1, MakeReCreateName(path, suffix)});
          } else {
            for (size_t row = 0; row < report.selected.size(); ++row) {
              if (!report.selected[row]) continue;
              auto output = IndividualOutputPath(path, s.ListView1.Caption(row), suffix, s.ListView1.Encoding(row));
              report.changes.push_back({"would_create", static_cast<int64_t>(row), output ? *output : ""});
            }
          }
        } else {
          ok = run([&] { a.command == Subcommand::Split ? form.N6Click() : form.N7Click(); });
          const std::vector<std::string> written = WrittenPaths(s.Memo1, logBefore);
          if (a.command == Subcommand::Combine) {
            for (const std::string& p : written) report.changes.push_back({"created", -1, p});
          } else {
            // Split takes the ticked rows in order; a skipped one writes nothing.
            size_t next = 0;
            const std::vector<bool> notDone = RowsNotDone(s, report.selected.size());
            for (size_t row = 0; row < report.selected.size() && next < written.size(); ++row) {
              if (!report.selected[row] || notDone[row]) continue;
              report.changes.push_back({"created", static_cast<int64_t>(row), written[next++]});
            }
          }
        }
        break;
      case Subcommand::Analyse:
      case Subcommand::Mail:  // the rewrite of each attachment runs as Rewrite
        break;
    }
  }

  record.refusal = RefusalOf(desktop.Boxes(), desktop.MessageCount());
  record.errorBox = !ok || desktop.ErrorCount() > 0;
  record.interrupted = Interrupted();
  record.finalPanelAnalysed = s.StatusBar1.Outcome() == AnalysisOutcome::Analysed;
  record.rowsNotDone = s.RowsNotDone.size();
  for (size_t row = 0; row < s.ListView1.Count() && !record.unexplained; ++row) {
    record.unexplained = (s.ListView1.Marks(row) & kMarkUnexplained) != 0;
  }
  record.rowsDone = report.changes.size();
  ArchiveRun result{Judge(record), false};
  if (result.verdict.status == kExitInterrupted) result.verdict.status = InterruptedStatus();
  report.verdict = result.verdict;
  report.messages = desktop.Boxes();
  return result;
}

namespace {

// The reason of a verdict in words; a rewrite of a damaged archive also
// says how many listed entries it neutralised, which it did.
std::string VerdictText(const Verdict& verdict, const ArchiveReport& report) {
  const bool damaged = verdict.reason == "damaged_zip" || verdict.reason == "damaged_lzh";
  if (!damaged || report.command != Subcommand::Rewrite || report.dryRun) return ReasonText(verdict.reason);
  const auto neutralised = static_cast<uint64_t>(
      std::count_if(report.changes.begin(), report.changes.end(), [](const Change& c) { return c.action == "neutralised"; }));
  if (neutralised == 0) return ReasonText(verdict.reason);
  return CliText(CliTextId::DamagedNeutralised, neutralised, verdict.reason == "damaged_lzh");
}

// A failed write of standard output; flushed per archive, so a reader of
// JSON Lines gets each document as it is done.
bool OutputFailed(std::FILE* out) { return out && (std::fflush(out) != 0 || std::ferror(out)); }

bool WriteLine(const std::string& line, std::FILE* out) {
  return std::fwrite(line.data(), 1, line.size(), out) == line.size();
}

// --dry-run without --report: its findings on standard error, a line each.
void SayWhatWouldBeDone(const ProgramState& s, const ArchiveReport& report, std::FILE* err) {
  for (const Change& c : report.changes) {
    std::string line = "brimlode-cli: " + ForTerminal(report.archive) + ": ";
    if (c.action == "would_neutralise") {
      const size_t row = static_cast<size_t>(c.row);
      const std::string_view name = s.ListView1.Caption(row);
      line += CliText(CliTextId::WouldNeutralise) + "#" + std::to_string(row) + " " +
              ForTerminal(s.ListView1.Encoding(row) == NameEncoding::Cp932 ? CellToUtf8(name)
                                                                           : NameToUtf8(name, NameEncoding::Utf8));
    } else {
      line += CliText(CliTextId::WouldCreate) + ForTerminal(c.path);
    }
    Print(err, line + "\n");
  }
}

// The report of standard input that could not be read: nothing listed.
bool WriteUnreadReport(const Arguments& a, const Verdict& verdict, std::FILE* out) {
  CliDesktop blank(nullptr, false);
  TForm1 unread(blank);
  ArchiveReport report;
  report.archive = kStandardInput;
  report.command = a.command;
  report.dryRun = a.dryRun;
  report.verdict = verdict;
  return WriteLine(ReportLine(unread.state, report), out);
}

MailRunner& RegisteredMailRunner() {
  static MailRunner runner = nullptr;
  return runner;
}

// brimlode-mail runs in this process's place, with the same arguments; it
// answers for itself from then on.
int RunMailCommand(const std::vector<std::string>& args, const Arguments& a, std::FILE* out, std::FILE* err) {
  if (MailRunner runner = RegisteredMailRunner()) return runner(a, out, err);
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec).parent_path();
  std::vector<char*> argv;
  std::string name = "brimlode-mail";
  argv.push_back(name.data());
  std::vector<std::string> copies(args);
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);
  if (out) std::fflush(out);
  if (err) std::fflush(err);
  for (const std::filesystem::path& program : {self / "brimlode-mail", self / "../libexec/brimlode/brimlode-mail"}) {
    execv(program.c_str(), argv.data());
  }
  Print(err, "brimlode-cli mail: brimlode-mail " + std::string(std::strerror(errno)) + "\n");
  return kMailTryLater;
}

}  // namespace

void SetMailRunner(MailRunner runner) { RegisteredMailRunner() = runner; }

int RunKeepingState(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
                    std::unique_ptr<Desktop>& desktopOut, std::unique_ptr<TForm1>& formOut) {
  ParseResult parsed = ParseArguments(args);
  if (!parsed.arguments) {
    const int status = UsageError(err, parsed.error);
    return !args.empty() && args[0] == "mail" ? kMailUsage : status;
  }
  const Arguments& a = *parsed.arguments;
  SetSiteDangerousExtensions(a.dangerousAdd);
  if (a.command == Subcommand::Mail && !a.help && !a.version) return RunMailCommand(args, a, out, err);
  if (a.help || a.version || a.listDangerous) {
    Print(out, a.help ? HelpText() : a.version ? VersionText() : DangerousListText());
    return OutputFailed(out) ? kExitError : kExitDone;
  }

  std::error_code ec;
  std::string cwd = std::filesystem::current_path(ec).string();
  const bool several = a.archives.size() > 1;
  std::set<std::string> takenLeaves;  // --output-dir names given so far
  int status = kExitNothingToDo;
  bool first = true;
  bool outputFailed = false;
  // What happened to each archive whose outcome is said only on standard
  // output: should that fail, standard error says it instead, so a rewrite
  // is never hidden behind a report that could not be written.
  std::vector<std::string> saidOnlyOnOutput;
  for (const std::string& given : a.archives) {
    if (Interrupted()) break;
    std::string path = ec ? given : AbsolutePath(given, cwd);
    StandardInputCopy standardInput;
    if (given == kStandardInput) {
      if (!standardInput.Make(Interrupted, kArchiveSizeLimit)) {
        // Still one report line per archive, with nothing listed.
        const Verdict verdict = Interrupted() ? Verdict{InterruptedStatus(), "interrupted"}
                                              : Verdict{kExitError, "cannot_read"};
        Print(err, "brimlode-cli: " + ForTerminal(given) + ": " +
                       (Interrupted() ? ReasonText(verdict.reason) : CliText(CliTextId::StandardInputUnreadable)) +
                       "\n");
        status = first ? verdict.status : WorseStatus(status, verdict.status);
        first = false;
        if (a.report && out) outputFailed = !WriteUnreadReport(a, verdict, out) || outputFailed;
        continue;
      }
      path = standardInput.Path();
    }
    ArchiveReport report;
    ArchiveRun run = RunArchive(a, given, path, cwd, err, desktopOut, formOut, report, &takenLeaves);
    status = first ? run.verdict.status : WorseStatus(status, run.verdict.status);
    first = false;
    const ProgramState& s = formOut->state;
    if (run.verdict.status != kExitDone && run.verdict.status != kExitNothingToDo &&
        run.verdict.status != kExitUsage) {
      Print(err, "brimlode-cli: " + ForTerminal(given) + ": " + VerdictText(run.verdict, report) + "\n");
    } else {
      saidOnlyOnOutput.push_back("brimlode-cli: " + ForTerminal(given) + ": " + VerdictText(run.verdict, report) +
                                 " (" + std::to_string(run.verdict.status) + ")\n");
    }
    if (run.usageError && !a.report) continue;
    if (a.dryRun && !a.report) SayWhatWouldBeDone(s, report, err);

    if (!out) continue;
    bool written = true;
    if (a.report) {
      written = WriteLine(ReportLine(s, report), out);
    } else {
      auto* desktop = static_cast<CliDesktop*>(desktopOut.get());
      // An archive path is escaped as entry names are: it can hold ESC or RLO too.
      if (several && !a.json) Print(out, "==> " + ForTerminal(given) + " <==\n");
      written = a.json ? WriteStateJson(s, desktop->Boxes(), out) : WriteStateText(s, out);
    }
    outputFailed = outputFailed || !written || OutputFailed(out);
  }
  // A reader that went away early (a closed pipe) got less than the whole
  // result: the caller cannot trust what it read.
  if (outputFailed) {
    for (const std::string& line : saidOnlyOnOutput) Print(err, line);
    Print(err, "brimlode-cli: " + CliText(CliTextId::OutputUnwritable) + "\n");
    status = WorseStatus(status, kExitError);
  }
  return status;
}

int Main(int argc, char** argv) {
  // A closed pipe on standard output is a failed write, reported above, not
  // a death by signal; a file grown past its limit (ulimit -f) is a failed
  // write of that output, which is then removed.
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  std::vector<std::string> args(argv + 1, argv + argc);
  StopOnInterrupt();
  std::unique_ptr<Desktop> desktop;
  std::unique_ptr<TForm1> form;
  int status = RunKeepingState(args, stdout, stderr, desktop, form);
  // The process ends here: freeing tables of 65,535 rows node by node would
  // cost a tenth of the run for nothing.
  (void)form.release();
  (void)desktop.release();
  return status;
}

}  // namespace brim::cli
