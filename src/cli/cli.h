// brimlode-cli: the window's commands for scripts and servers.
#pragma once

namespace brim::cli {

int Main(int argc, char** argv);

}  // namespace brim::cli
