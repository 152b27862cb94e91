#include "base/errors.h"

#include <cerrno>

#include "base/cp932.h"
#include "base/ui_texts.h"

namespace brim {

namespace {
std::string WithPath(const std::string& formatCp932, const std::string& nativePath) {
  return FormatText(formatCp932, Utf8ToCp932(nativePath));
}

// The cause a user can act on; anything rarer gets its number.
std::string OpenReason(int errorNumber, OpenProblem problem) {
  const UiTexts& ui = Ui();
  if (problem == OpenProblem::Locked) return ui.reasonLocked;
  if (problem == OpenProblem::NotARegularFile) return ui.reasonNotAFile;
  switch (errorNumber) {
    case EROFS: return ui.reasonReadOnly;
    case ENOSPC:
    case EDQUOT: return ui.reasonDiskFull;
    case 0: return "";
    case ENOENT: return ui.reasonNoSuchFile;
    case EISDIR: return ui.reasonIsAFolder;
    case EACCES:
    case EPERM: return ui.reasonPermissionDenied;
    case ENOTDIR: return ui.reasonNotAFolderOnTheWay;
    default: return FormatNumbers(ui.reasonErrorNumber, errorNumber);
  }
}
}  // namespace

CommandError CannotOpen(const std::string& p, int errorNumber, OpenProblem problem) {
  std::string reason = OpenReason(errorNumber, problem);
  std::string text = WithPath(Ui().fileCannotOpen, p);
  if (!reason.empty()) text += FormatText(Ui().reasonAfterText, reason);
  return CommandError(std::move(text), FileFailure::Open);
}
CommandError CannotCreate(const std::string& p, int errorNumber) {
  const UiTexts& ui = Ui();
  std::string reason;
  switch (errorNumber) {
    // Creating, a missing name is a folder on the way; a name there already
    // is what stops it.
    case ENOENT: reason = ui.reasonNoSuchFolder; break;
    case EEXIST: reason = ui.reasonNameTaken; break;
    // Beneath the archive's folder without links: a link or ".." on the way.
    case ELOOP:
    case EXDEV: reason = ui.reasonLinkOnTheWay; break;
    default: reason = OpenReason(errorNumber, OpenProblem::Errno);
  }
  std::string text = WithPath(ui.fileCannotCreate, p);
  if (!reason.empty()) text += FormatText(ui.reasonAfterText, reason);
  return CommandError(std::move(text), FileFailure::Create);
}
CommandError CannotWrite(const std::string& p) {
  return CommandError(WithPath(Ui().fileCannotWrite, p), FileFailure::Write);
}
CommandError CannotRead(const std::string& p) {
  return CommandError(WithPath(Ui().fileCannotRead, p), FileFailure::Read);
}
CommandError NotAnInteger(const std::string& t) {
  return CommandError(FormatText(Ui().notAnInteger, t));
}

}  // namespace brim
