// Any bytes as the archive to neutralise: analysed, rows ticked (all, or a
// subset the last byte picks), "書き換え" run. Only the fields the rewrite
// names may change, the length never does, and the result analyses again.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "support/write_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string fault = brim::test::RewriteViolation(brim::test::Bytes(data, data + size));
  if (!fault.empty()) {
    std::fprintf(stderr, "rewrite: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}
