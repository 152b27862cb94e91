// brimlode-cli mail: one message in, the same message out with every ZIP and
// LZH attachment neutralised by the rewrite, for a mail server's filter.
#pragma once
#include <cstdio>
#include <string>
#include <string_view>

#include "cli/arguments.h"

namespace brim::cli {

// Reads a.mailInput (standard input when empty or "-"), writes a.mailOutput
// (standard output when empty or "-"), appends a report line per archive to
// a.mailReport. Returns a MailExitCode.
int RunMail(const Arguments& a, std::FILE* out, std::FILE* err);

// Whether bytes can hold what format detection looks for: a ZIP local
// header signature anywhere, or an LZH method id ("-lh?-", "-lz?-"). Bodies
// without either are no archive and cost no temporary file.
bool MayHoldArchive(std::string_view bytes);

}  // namespace brim::cli
