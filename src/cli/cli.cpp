#include "cli/cli.h"

#include <cstdio>

namespace brim::cli {

int Main(int, char**) {
  std::fprintf(stderr, "brimlode-cli: not built yet\n");
  return 2;
}

}  // namespace brim::cli
