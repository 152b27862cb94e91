// Names of the files regeneration creates, as native paths (UTF-8, "/").
#pragma once
#include <optional>
#include <string>

#include "base/cp932.h"
#include <string_view>

namespace brim {

// The combined output's name: the path without its extension, the mark
// "(ReCreateNN)" and suffix (".zip" or ".lzh"), NN the first number of 00..99
// under which nothing exists in any form (a folder, a FIFO or a symbolic
// link, dangling or not, takes the name too). When all hundred are taken, the
// name numbered 99 is returned: the caller checks PathTaken and refuses.
std::string MakeReCreateName(const std::string& nativePath, std::string_view suffix);

// An entry name as a native relative path: a CP932 name by
// EntryNameToNativePath ("\" separating folders), a UTF-8 one as it is.
// Either way valid UTF-8.
std::string EntryNameToNativePath(std::string_view name, NameEncoding encoding);

// The individual output of an entry: the archive's folder, the entry name
// as a native relative path, then suffix.
// nullopt when the result would not lie under the archive's folder (a ".."
// component, an absolute name) or when the name holds a NUL byte, which the
// file system would silently cut the name at.
std::optional<std::string> IndividualOutputPath(const std::string& archivePath,
                                                std::string_view entryName,
                                                std::string_view suffix,
                                                NameEncoding encoding = NameEncoding::Cp932);

}  // namespace brim
