// The extensions that run code on Windows when a user opens the file, or
// mount as a disk that can hold such files: what "危険な拡張子" and the
// command line's --dangerous tick. The list is the attachment types the
// mail clients for Windows block outright (their "level 1" list), plus
// OneNote notebooks (one, onepkg), the libraries and drivers a program
// beside them would load (dll, ocx, sys, drv) and mountable disk images; a
// site adds its own with --dangerous-add.
#pragma once
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/tables.h"

namespace brim {

// Lower-case keys without the dot, in the order the tooltip and --help show.
std::span<const std::string_view> DangerousExtensions();
// The keys a site adds (lower-case, no dot), replacing those set before.
void SetSiteDangerousExtensions(const std::vector<std::string>& keys);
std::span<const std::string> SiteDangerousExtensions();
// Whether a tally key (lower-case, no dot) is on the list or was added.
bool IsDangerousExtension(std::string_view key);

// The one verdict on a row, which the selection, the report, the JSON and
// the window all show: some copy of its name (the caption or any other one
// an extractor may write) has, as Windows reads it, an extension on the list.
bool IsDangerousRow(const EntryTable& rows, size_t row);

}  // namespace brim
