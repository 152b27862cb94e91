#include "base/ui_texts.h"

namespace brim {

const UiTexts& Ui() {
  static const UiTexts texts = [] {
    UiTexts t;
    // t.name.assign("<CP932 bytes>", length) for every text, made when
    // building from ui_texts.h by the program's own conversion.
#include "ui_texts_cp932.inc"
    return t;
  }();
  return texts;
}

std::string FormatText(std::string_view format, std::string_view arg) {
  size_t at = format.find("%s");
  if (at == std::string_view::npos) return std::string(format);
  std::string out;
  out.reserve(format.size() + arg.size());
  out.append(format.substr(0, at));
  out.append(arg);
  out.append(format.substr(at + 2));
  return out;
}

std::string FormatNumbers(std::string_view format, int64_t a, int64_t b) {
  std::string out;
  int used = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size()) {
      if (format[i + 1] == '%') {
        out.push_back('%');
        ++i;
        continue;
      }
      if (format[i + 1] == 'd') {
        out += std::to_string(used++ == 0 ? a : b);
        ++i;
        continue;
      }
    }
    out.push_back(format[i]);
  }
  return out;
}

}  // namespace brim
