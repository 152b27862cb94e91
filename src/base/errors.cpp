#include "base/errors.h"

#include "base/cp932.h"
#include "base/ui_texts.h"

namespace brim {

namespace {
CommandError WithPath(const std::string& formatCp932, const std::string& nativePath) {
  return CommandError(FormatText(formatCp932, Utf8ToCp932(nativePath)));
}
}  // namespace

CommandError CannotOpen(const std::string& p) { return WithPath(Ui().fileCannotOpen, p); }
CommandError CannotCreate(const std::string& p) { return WithPath(Ui().fileCannotCreate, p); }
CommandError CannotWrite(const std::string& p) { return WithPath(Ui().fileCannotWrite, p); }
CommandError CannotRead(const std::string& p) { return WithPath(Ui().fileCannotRead, p); }
CommandError NotAnInteger(const std::string& t) {
  return CommandError(FormatText(Ui().notAnInteger, t));
}

}  // namespace brim
