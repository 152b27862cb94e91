#include "app/dangerous_extensions.h"

#include <algorithm>
#include <array>
#include <string>

#include "base/windows_name.h"

namespace brim {

namespace {
constexpr std::array<std::string_view, 56> kDangerous = {
    // Programs and installers
    "exe", "com", "scr", "pif", "cpl", "msi", "msp", "mst", "msu", "msix", "msixbundle", "appx",
    "appxbundle", "appinstaller", "application", "appref-ms", "gadget", "jar", "jnlp",
    // Scripts
    "bat", "cmd", "js", "jse", "vb", "vbs", "vbe", "wsf", "wsh", "ws", "wsc", "sct", "hta",
    "ps1", "psm1", "psd1", "ps1xml", "msc", "inf", "reg", "scf",
    // Shortcuts and help files that run code
    "lnk", "url", "chm", "hlp", "settingcontent-ms", "library-ms",
    // Libraries and drivers
    "dll", "ocx", "sys", "drv", "xll",
    // Disk images Windows mounts with a double click
    "iso", "img", "vhd", "vhdx", "udf",
};
}  // namespace

std::span<const std::string_view> DangerousExtensions() { return kDangerous; }

bool IsDangerousExtension(std::string_view key) {
  return std::find(kDangerous.begin(), kDangerous.end(), key) != kDangerous.end();
}

bool IsDangerousRow(const EntryTable& rows, size_t row) {
  std::string key;
  if (IsDangerousExtension(WindowsExtensionKey(rows.Caption(row), rows.Encoding(row), key))) return true;
  for (const NameCopy& copy : rows.NameCopies(row)) {
    if (IsDangerousExtension(WindowsExtensionKey(copy.bytes, copy.encoding, key))) return true;
  }
  return false;
}

}  // namespace brim
