#include "cli/mail_command.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>

#include "base/cp932.h"
#include "base/errors.h"
#include "base/file_stream.h"
#include "base/new_file.h"
#include "cli/cli.h"
#include "cli/cli_desktop.h"
#include "cli/cli_texts.h"
#include "cli/exit_status.h"
#include "cli/report_writer.h"
#include "mail/gateway.h"

namespace brim::cli {

namespace {

void Say(std::FILE* err, const std::string& text) {
  if (err) std::fprintf(err, "brimlode-cli mail: %s\n", text.c_str());
}

bool ReadAll(int fd, std::string& into) {
  char buffer[1 << 16];
  while (true) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR && !Interrupted()) continue;
      return false;
    }
    into.append(buffer, static_cast<size_t>(n));
  }
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// A private folder for the attachments while the rewrite works on them,
// removed with what is left in it.
class Scratch {
 public:
  Scratch() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/brimlode-mail-XXXXXX";
    if (mkdtemp(pattern.data())) path_ = pattern;
  }
  ~Scratch() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  bool Ok() const { return !path_.empty(); }
  std::string Next() { return path_ + "/" + std::to_string(count_++); }

 private:
  std::string path_;
  int count_ = 0;
};

// The rewrite of one attachment, as `rewrite --dangerous` (or the selection
// given) would do it on the attachment saved as a file.
class AttachmentRewriter {
 public:
  AttachmentRewriter(const Arguments& a, Scratch& scratch, int reportFd)
      : scratch_(scratch), reportFd_(reportFd) {
    rewrite_.command = Subcommand::Rewrite;
    rewrite_.selection = a.selection;
    rewrite_.extensions = a.extensions;
    rewrite_.quiet = true;
    rewrite_.report = true;
    rewrite_.summary = a.summary;
  }

  bool ReportFailed() const { return reportFailed_; }

  mail::ArchiveOutcome operator()(const std::string& name, std::string_view bytes) {
    using Kind = mail::ArchiveOutcome::Kind;
    if (!MayHoldArchive(bytes)) return {};
    const std::string path = scratch_.Next();
    try {
      FileStream f = FileStream::CreateNew(path);
      f.WriteAt(0, bytes.data(), bytes.size());
      f.Close();
    } catch (const CommandError&) {
      return {Kind::Failed, "", kExitError, "cannot_write", 0};
    }
    ArchiveReport report;
    rewrite_.archives = {path};
    const ArchiveRun run = RunArchive(rewrite_, name, path, "/", nullptr, desktop_, form_, report);
    const ProgramState& s = form_->state;
    mail::ArchiveOutcome o;
    o.status = run.verdict.status;
    o.reason = std::string(run.verdict.reason);
    for (const Change& c : report.changes) o.neutralised += c.action == "neutralised";
    const AnalysisOutcome analysis = s.StatusBar1.Outcome();
    // A signature met by chance inside other data (a picture, a PDF) leads to
    // nothing any reader could list: that body is no archive.
    const bool stray = analysis == AnalysisOutcome::DamagedZip && s.ListView1.Count() == 0 &&
                       s.StatusBar1.LeadingBytes().value_or(0) > 0;
    if (analysis == AnalysisOutcome::NotAnArchive || stray) {
      std::filesystem::remove(path);
      return {};
    }
    report.command = Subcommand::Mail;
    WriteReport(s, report);
    bool namesMasked = false;
    for (const HeaderFacts& f : report.facts) namesMasked = namesMasked || f.namesMasked;
    if (namesMasked && o.status <= kExitNothingToDo) {
      // Entry names read from an encrypted directory cannot be judged.
      o.kind = Kind::Unsafe;
      o.status = kExitRefused;
      o.reason = "encrypted_names";
    } else if (o.status == kExitDone && o.neutralised > 0) {
      o.kind = Kind::Neutralised;
      try {
        FileStream f = FileStream::Open(path, FileStream::Mode::Read);
        o.bytes.resize(bytes.size());
        f.ReadExactAt(0, o.bytes.data(), o.bytes.size());
      } catch (const CommandError&) {
        o.kind = Kind::Failed;
        o.reason = "cannot_read";
      }
    } else if (o.status == kExitDone || o.status == kExitNothingToDo) {
      o.kind = Kind::Unchanged;
    } else if (o.status == kExitRefused || o.status == kExitPartlyDone) {
      o.kind = Kind::Unsafe;
    } else {
      o.kind = Kind::Failed;  // input/output, interrupted
    }
    std::error_code ec;
    std::filesystem::remove(path, ec);
    return o;
  }

 private:
  void WriteReport(const ProgramState& s, const ArchiveReport& report) {
    if (reportFd_ < 0) return;
    // One write per line, so the lines of filters running side by side,
    // appending to one file, do not interleave.
    reportFailed_ = !WriteAll(reportFd_, ReportLine(s, report)) || reportFailed_;
  }

  Scratch& scratch_;
  int reportFd_;
  Arguments rewrite_;
  bool reportFailed_ = false;
  std::unique_ptr<Desktop> desktop_;
  std::unique_ptr<TForm1> form_;
};

bool IsStandard(const std::string& path) { return path.empty() || path == kStandardInput; }

}  // namespace

bool MayHoldArchive(std::string_view bytes) {
  if (bytes.find("PK\x03\x04", 0, 4) != std::string_view::npos) return true;
  for (size_t at = bytes.find("-l"); at != std::string_view::npos; at = bytes.find("-l", at + 1)) {
    if (at + 4 < bytes.size() && (bytes[at + 2] == 'h' || bytes[at + 2] == 'z') && bytes[at + 4] == '-') return true;
  }
  return false;
}

int RunMail(const Arguments& a, std::FILE* out, std::FILE* err) {
  std::string message;
  {
    int fd = IsStandard(a.mailInput) ? dup(STDIN_FILENO) : open(a.mailInput.c_str(), O_RDONLY | O_CLOEXEC);
    const bool read = fd >= 0 && ReadAll(fd, message);
    if (fd >= 0) close(fd);
    if (!read) {
      Say(err, CliText(CliTextId::MailCannotRead) + (IsStandard(a.mailInput) ? "" : ": " + a.mailInput));
      return kMailTryLater;
    }
  }
  const bool toFile = !IsStandard(a.mailOutput);
  if (toFile && PathTaken(a.mailOutput)) {
    Say(err, ReasonText("output_exists") + ": " + a.mailOutput);
    return kMailCannotCreate;
  }
  int reportFd = -1;
  if (!a.mailReport.empty()) {
    reportFd = open(a.mailReport.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (reportFd < 0) {
      Say(err, ReasonText("cannot_create") + ": " + a.mailReport);
      return kMailTryLater;
    }
  }
  Scratch scratch;
  if (!scratch.Ok()) {
    Say(err, ReasonText("cannot_create") + ": TMPDIR");
    if (reportFd >= 0) close(reportFd);
    return kMailTryLater;
  }

  AttachmentRewriter rewriter(a, scratch, reportFd);
  mail::MailOptions options;
  options.version = VersionNumber();
  options.policy = a.policy == "reject" ? mail::Policy::Reject
                   : a.policy == "pass" ? mail::Policy::Pass
                                        : mail::Policy::Replace;
  const mail::MailResult result = mail::NeutraliseMessage(
      message, [&](const std::string& name, std::string_view bytes) { return rewriter(name, bytes); }, options);
  const bool reportFailed = rewriter.ReportFailed() || (reportFd >= 0 && close(reportFd) != 0);
  if (Interrupted()) {
    Say(err, ReasonText("interrupted"));
    return kMailTryLater;
  }
  if (reportFailed) {
    Say(err, ReasonText("cannot_write") + ": " + a.mailReport);
    return kMailTryLater;
  }
  switch (result.fate) {
    case mail::Fate::TryLater:
      Say(err, ReasonText(result.failure));
      return kMailTryLater;
    case mail::Fate::Reject:
      for (const mail::ArchiveNote& n : result.notes) {
        if (n.action == mail::Action::Rejected) Say(err, CliText(CliTextId::MailRejected) + n.name + " (" + n.reason + ")");
      }
      return kMailRejected;
    case mail::Fate::Deliver:
      break;
  }

  if (!toFile) {
    std::fflush(out);
    if (!WriteAll(fileno(out), result.message)) {
      Say(err, CliText(CliTextId::OutputUnwritable));
      return kMailTryLater;
    }
    return kMailDelivered;
  }
  try {
    const std::string absolute = AbsolutePath(a.mailOutput, std::filesystem::current_path().string());
    NewFile file = NewFile::Create(std::string(NativeFolderPart(absolute)),
                                   std::string(NativeFileNamePart(absolute)), true);
    file.Stream().Append(result.message.data(), result.message.size());
    file.Publish();
  } catch (const std::exception&) {
    if (PathTaken(a.mailOutput)) {
      Say(err, ReasonText("output_exists") + ": " + a.mailOutput);
      return kMailCannotCreate;
    }
    Say(err, ReasonText("cannot_write") + ": " + a.mailOutput);
    return kMailTryLater;
  }
  return kMailDelivered;
}

}  // namespace brim::cli
