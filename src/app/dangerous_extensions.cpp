#include "app/dangerous_extensions.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "base/windows_name.h"

namespace brim {

namespace {
// The attachment types the mail clients for Windows block outright (their
// "level 1" list), plus OneNote notebooks (a common mail payload since
// 2023), the libraries and drivers a program beside them would load, and
// the disk images Windows mounts. Macro documents (docm, xlsm ...) stay
// out: they open in an office program that asks before running macros.
constexpr std::string_view kDangerous[] = {
    // Programs and installers
    "exe", "com", "scr", "pif", "cpl", "msi", "msp", "mst", "msu", "msix", "msixbundle", "appx",
    "appxbundle", "appinstaller", "application", "appref-ms", "gadget", "jar", "jnlp", "app", "ppkg",
    "xbap", "vsmacros", "vsw", "printerexport", "diagcab", "cab", "wim", "tmp",
    // Scripts
    "bat", "cmd", "js", "jse", "vb", "vbs", "vbe", "vbp", "wsf", "wsh", "ws", "wsc", "sct", "hta", "htc",
    "ps1", "psm1", "psd1", "ps1xml", "ps2", "ps2xml", "psc1", "psc2", "psdm1", "msh", "msh1", "msh2",
    "mshxml", "msh1xml", "msh2xml", "msc", "inf", "ins", "isp", "reg", "scf", "py", "pyc", "pyo", "pyw",
    "pyz", "pyzw", "pl", "csh", "ksh", "bas", "shb", "shs", "wsb", "asp", "aspx", "asx", "fxp", "prg",
    "mcf", "ops", "osd", "pcd", "plg", "prf", "udl", "xnk", "webpnp", "bgi", "grp", "its", "crt", "cer",
    "der",
    // Shortcuts, help files, web pages and settings that run code
    "lnk", "url", "website", "chm", "hlp", "hpj", "cnt", "settingcontent-ms", "library-ms",
    "search-ms", "searchconnector-ms", "appcontent-ms", "rdp", "mht", "mhtml", "theme", "themepack",
    // Access databases and projects
    "ade", "adp", "mad", "maf", "mag", "mam", "maq", "mar", "mas", "mat", "mau", "mav", "maw", "mda",
    "mdb", "mde", "mdt", "mdw", "mdz", "accda", "accdb", "accde", "accdr", "accdt", "pst",
    // OneNote notebooks
    "one", "onepkg",
    // Libraries and drivers
    "dll", "ocx", "sys", "drv", "xll",
    // Disk images Windows mounts with a double click
    "iso", "img", "vhd", "vhdx", "udf",
};

// What a site added with --dangerous-add, lower-case without the dot.
std::vector<std::string>& SiteList() {
  static std::vector<std::string> keys;
  return keys;
}
}  // namespace

std::span<const std::string_view> DangerousExtensions() { return kDangerous; }

void SetSiteDangerousExtensions(const std::vector<std::string>& keys) {
  SiteList().clear();
  for (const std::string& k : keys) {
    if (!IsDangerousExtension(k)) SiteList().push_back(k);
  }
}

std::span<const std::string> SiteDangerousExtensions() { return SiteList(); }

bool IsDangerousExtension(std::string_view key) {
  if (key.empty()) return false;
  if (std::find(std::begin(kDangerous), std::end(kDangerous), key) != std::end(kDangerous)) return true;
  const std::vector<std::string>& site = SiteList();
  return !site.empty() && std::find(site.begin(), site.end(), key) != site.end();
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
