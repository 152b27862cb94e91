// The last few distinct CP932 texts and what a writer made of them. A log's
// lines end in a handful of the program's texts, so each is converted (and
// escaped, or made safe for a terminal) once, not once per line.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace brim::cli {

class RecurringTexts {
 public:
  // What make(cp932) gave for cp932, made the first time it is asked for;
  // nullptr when make gives nothing (a text only iconv reads).
  template <typename Make>
  const std::string* Get(std::string_view cp932, Make make) {
    for (const Known& known : known_) {
      if (known.cp932.size() == cp932.size() && known.cp932 == cp932) return &known.made;
    }
    std::optional<std::string> made = make(cp932);
    if (!made) return nullptr;
    Known& slot = known_[next_++ % std::size(known_)];
    slot.cp932.assign(cp932);
    slot.made = std::move(*made);
    return &slot.made;
  }

 private:
  struct Known {
    std::string cp932, made;
  };
  Known known_[16];
  size_t next_ = 0;
};

}  // namespace brim::cli
