// Any bytes as the archive to split and combine, in a fresh folder per input:
// the source stays as it was, nothing appears outside its folder, and every
// output is complete or absent.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "support/write_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string fault = brim::test::RegenerateViolation(brim::test::Bytes(data, data + size));
  if (!fault.empty()) {
    std::fprintf(stderr, "regenerate: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}
