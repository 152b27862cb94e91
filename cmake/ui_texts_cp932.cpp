// Writes the fixed texts of src/base/ui_texts.h in CP932 as C++ statements
// for Ui(): converted when building, by the program's own conversion, so a
// start of the program does not pay for iconv over every text.
//
// usage: ui_texts_cp932 OUT
#include <cstdio>
#include <string>
#include <string_view>

#include "base/cp932.h"
#include "base/ui_texts.h"

namespace {

// t.name.assign("<every byte as \xHH>", length);
void Emit(std::FILE* out, const char* name, std::string_view cp932) {
  std::fprintf(out, "t.%s.assign(\"", name);
  for (char c : cp932) std::fprintf(out, "\\x%02X", static_cast<unsigned char>(c));
  std::fprintf(out, "\", %zu);\n", cp932.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: ui_texts_cp932 OUT\n");
    return 2;
  }
  std::FILE* out = std::fopen(argv[1], "w");
  if (!out) {
    std::perror(argv[1]);
    return 1;
  }
  std::fprintf(out, "// Made when building by cmake/ui_texts_cp932.cpp from src/base/ui_texts.h.\n");
#define BRIM_UI_TEXT_EMIT(name, utf8) Emit(out, #name, brim::Utf8ToCp932(utf8));
  BRIM_UI_TEXTS(BRIM_UI_TEXT_EMIT)
#undef BRIM_UI_TEXT_EMIT
  return std::fclose(out) == 0 ? 0 : 1;
}
