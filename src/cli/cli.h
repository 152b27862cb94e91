// brimlode-cli: the window's commands for scripts and servers.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

namespace brim::cli {

int Main(int argc, char** argv);

// One run: args without the program name; the state goes to out, boxes and
// usage errors to err. Returns the exit status.
int Run(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

// given made absolute against cwd, with "." segments and doubled "/" removed
// (".." is kept: through a symbolic link it does not mean the lexical parent).
std::string AbsolutePath(const std::string& given, const std::string& cwd);

}  // namespace brim::cli
