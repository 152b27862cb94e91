#include "base/ui_texts.h"

#include "base/cp932.h"

namespace brim {

const UiTexts& Ui() {
  static const UiTexts texts = [] {
    // All in one conversion, each text ended by a NUL (which no text holds
    // and which converts to itself): a call into iconv costs more than most
    // texts, and every start of the program pays for these.
    std::string all;
#define BRIM_UI_TEXT_JOIN(name, utf8) (all += utf8) += '\0';
    BRIM_UI_TEXTS(BRIM_UI_TEXT_JOIN)
#undef BRIM_UI_TEXT_JOIN
    const std::string cp932 = Utf8ToCp932(all);
    size_t at = 0;
    const auto next = [&] {
      const size_t end = cp932.find('\0', at);
      std::string text = cp932.substr(at, end - at);
      at = end + 1;
      return text;
    };
    UiTexts t;
#define BRIM_UI_TEXT_TAKE(name, utf8) t.name = next();
    BRIM_UI_TEXTS(BRIM_UI_TEXT_TAKE)
#undef BRIM_UI_TEXT_TAKE
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
