#include "cli/cli.h"

#include <csignal>
#include <filesystem>
#include <memory>
#include <system_error>

#include "form/Unit1.h"
#include "app/application.h"
#include "app/entry_tables.h"
#include "base/ui_texts.h"
#include "cli/arguments.h"
#include "cli/cli_desktop.h"
#include "cli/exit_status.h"
#include "cli/state_printer.h"

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
    case Selection::None:
      break;
  }
  if (a.invert) form.N11Click();
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

int RunKeepingState(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
                    std::unique_ptr<Desktop>& desktopOut, std::unique_ptr<TForm1>& formOut) {
  ParseResult parsed = ParseArguments(args);
  if (!parsed.arguments) return UsageError(err, parsed.error);
  const Arguments& a = *parsed.arguments;
  if (a.help) {
    Print(out, HelpText());
    return kExitDone;
  }

  std::error_code ec;
  std::string cwd = std::filesystem::current_path(ec).string();
  std::string path = ec ? a.archive : AbsolutePath(a.archive, cwd);

  auto* cliDesktop = new CliDesktop(err, a.reanalyse);
  desktopOut.reset(cliDesktop);
  CliDesktop& desktop = *cliDesktop;
  formOut = std::make_unique<TForm1>(desktop);
  TForm1& form = *formOut;
  form.FormCreate();
  desktop.SetAbortFlag(&form.state.AbortRequested);

  RunRecord record;
  record.command = a.command;
  record.reanalyse = a.reanalyse;

  bool ok = RunCommand(desktop, [&] { form.DropFiles({path}); }) &&
            RunCommand(desktop, [&] { form.Zip1Click(); });

  if (ok && a.command != Subcommand::Analyse) {
    size_t rows = form.state.ListView2.Count();
    for (uint64_t row : a.rows) {
      if (row >= rows) {
        return UsageError(err, "--rows: there is no row " + std::to_string(row) + " (the listing has " +
                                   std::to_string(rows) + " rows, numbered from 0)");
      }
    }
    TickSelection(form, a);

    size_t messagesBefore = desktop.MessageCount();
    size_t questionsBefore = desktop.Questions().size();
    switch (a.command) {
      case Subcommand::Rewrite:
        ok = RunCommand(desktop, [&] { form.N2Click(); });
        record.confirmed = desktop.Questions().size() > questionsBefore &&
                           desktop.Questions()[questionsBefore] == Ui().confirmRewrite;
        break;
      case Subcommand::Split:
      case Subcommand::Combine:
        // The window would still run the command (combine even writes an
        // empty archive); a script asking for nothing gets nothing.
        if (CountChecked(form.state) == 0) {
          record.nothingTicked = true;
          Print(err, "brimlode-cli: no entry is ticked; nothing was written\n");
        } else if (a.command == Subcommand::Split) {
          ok = RunCommand(desktop, [&] { form.N6Click(); });
        } else {
          ok = RunCommand(desktop, [&] { form.N7Click(); });
        }
        break;
      case Subcommand::Analyse:
        break;
    }
    record.refused = desktop.MessageCount() > messagesBefore;
  }

  record.errorBox = !ok || desktop.ErrorCount() > 0;
  record.interrupted = Interrupted();
  record.finalPanelAnalysed = form.state.StatusBar1.Outcome() == AnalysisOutcome::Analysed;

  bool written = true;
  if (a.json) {
    written = !out || WriteStateJson(form.state, desktop.Boxes(), out);
  } else {
    written = !out || WriteStateText(form.state, out);
  }
  // The command's work is done by now: a reader that went away early (a
  // closed pipe) is reported, and the status still tells what the command did.
  if (out && (!written || std::fflush(out) != 0 || std::ferror(out))) {
    Print(err, "brimlode-cli: the output could not be written\n");
  }
  return ExitStatus(record);
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
