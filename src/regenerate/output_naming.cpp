#include "regenerate/output_naming.h"

#include <cstdio>

#include "base/cp932.h"
#include "base/file_stream.h"
#include "base/ui_texts.h"

namespace brim {

std::string MakeReCreateName(const std::string& nativePath, std::string_view suffix) {
  const std::string base(NativeWithoutExtension(nativePath));
  std::string candidate;
  for (int number = 0; number <= 99; ++number) {
    char mark[32];
    std::snprintf(mark, sizeof mark, Ui().reCreateMark.c_str(), number);
    candidate = base + mark + std::string(suffix);
    if (!PathTaken(candidate)) break;
  }
  return candidate;
}

std::string EntryNameToNativePath(std::string_view name, NameEncoding encoding) {
  // A UTF-8 name has no separator left in it but "/"; its bytes that do not
  // decode become U+FFFD.
  return encoding == NameEncoding::Utf8 ? NameToUtf8(name, encoding) : EntryNameToNativePath(name);
}

std::optional<std::string> IndividualOutputPath(const std::string& archivePath,
                                                std::string_view entryName,
                                                std::string_view suffix, NameEncoding encoding) {
  if (entryName.find('\0') != std::string_view::npos) return std::nullopt;
  std::string relative = EntryNameToNativePath(entryName, encoding) + std::string(suffix);
  if (!relative.empty() && relative.front() == '/') return std::nullopt;
  // The suffix is part of the last component, so only folder components can
  // be "..".
  size_t begin = 0;
  while (begin <= relative.size()) {
    size_t end = relative.find('/', begin);
    if (end == std::string::npos) end = relative.size();
    if (relative.compare(begin, end - begin, "..") == 0) return std::nullopt;
    begin = end + 1;
  }
  return std::string(NativeFolderPart(archivePath)) + relative;
}

}  // namespace brim
