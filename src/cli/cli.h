// brimlode-cli: the window's commands for scripts and servers.
#pragma once
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cli/exit_status.h"
#include "form/Unit1.h"

namespace brim::cli {

int Main(int argc, char** argv);

// One run: args without the program name; the state goes to out, boxes and
// usage errors to err. Returns the exit status.
int Run(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);
// The same, handing the desktop and the window state to the caller, who may
// let the process end without taking them apart.
int RunKeepingState(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
                    std::unique_ptr<Desktop>& desktop, std::unique_ptr<TForm1>& form);

struct Arguments;
struct ArchiveReport;
struct ArchiveRun {
  Verdict verdict;
  bool usageError = false;  // the state is not printed, as before any archive
};
// The command of a on one archive: analysis, ticks, the command, and what it
// did. path: the file to read; given: the name the caller used; boxes go to
// err (may be null). taken: the --output-dir names earlier archives of the
// call took (a later one of the same name gets "NAME(2).EXT"), or null.
ArchiveRun RunArchive(const Arguments& a, const std::string& given, const std::string& path,
                      const std::string& cwd, std::FILE* err, std::unique_ptr<Desktop>& desktop,
                      std::unique_ptr<TForm1>& form, ArchiveReport& report,
                      std::set<std::string>* taken = nullptr);

// The mail command lives in brimlode-mail (src/cli/mail_main.cpp), which
// registers it here; without it, `mail` runs that program in this process's
// place (beside this one, or in ../libexec/brimlode/).
using MailRunner = int (*)(const Arguments& a, std::FILE* out, std::FILE* err);
void SetMailRunner(MailRunner runner);

// given made absolute against cwd, with "." segments and doubled "/" removed
// (".." is kept: through a symbolic link it does not mean the lexical parent).
std::string AbsolutePath(const std::string& given, const std::string& cwd);

}  // namespace brim::cli
