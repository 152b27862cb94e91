#!/usr/bin/env bash
# Builds the Debian package from this build tree and checks what a desktop
# needs of it: the programs, the desktop entry (valid, opening files), the
# icons, the manual pages, the dependencies, the copyright and changelog, and
# lintian's verdict when it is installed. Exit 77 (skipped) when the
# packaging tools are missing.
set -euo pipefail
build=$1 gui=$2
for tool in cpack dpkg-deb dpkg-shlibdeps desktop-file-validate; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is missing (scripts/install-deps.sh installs it)"
    exit 77
  fi
done
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
# gzip, not xz: the test checks contents, not size, and should be quick.
if ! cpack --config "$build/CPackConfig.cmake" -B "$out" -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip >"$out/cpack.log" 2>&1; then
  cat "$out/cpack.log"
  exit 1
fi
deb=$(echo "$out"/brimlode_*.deb)
dpkg-deb -c "$deb" | awk '{print $NF}' >"$out/list"
fail=0
want() {
  if ! grep -qxF "$1" "$out/list"; then
    echo "missing in the package: $1"
    fail=1
  fi
}
want ./usr/bin/brimlode-cli
want ./usr/libexec/brimlode/brimlode-mail
want ./usr/libexec/brimlode/brimlode-mail-filter
want ./usr/share/man/man1/brimlode-cli.1.gz
want ./usr/share/man/ja/man1/brimlode-cli.1.gz
depends=$(dpkg-deb -f "$deb" Depends)
for dep in libc6 libstdc++6 zlib1g; do
  [[ $depends == *"$dep"* ]] || { echo "Depends lacks $dep: $depends"; fail=1; }
done
if [ "$gui" = ON ]; then
  want ./usr/bin/brimlode
  want ./usr/share/applications/brimlode.desktop
  want ./usr/share/icons/hicolor/scalable/apps/brimlode.svg
  for size in 16 32 48 64 128 256; do want "./usr/share/icons/hicolor/${size}x${size}/apps/brimlode.png"; done
  want ./usr/share/man/man1/brimlode.1.gz
  want ./usr/share/man/ja/man1/brimlode.1.gz
  for dep in libqt6widgets6 fonts-ipafont-gothic qt6-translations-l10n; do
    [[ $depends == *"$dep"* ]] || { echo "Depends lacks $dep: $depends"; fail=1; }
  done
  dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/applications/brimlode.desktop >"$out/brimlode.desktop"
  desktop-file-validate "$out/brimlode.desktop" || fail=1
  grep -qx 'Exec=brimlode %f' "$out/brimlode.desktop" || { echo "Exec does not pass the file"; fail=1; }
  grep -qx 'MimeType=application/zip;application/x-lzh-compressed;application/x-lha;' "$out/brimlode.desktop" ||
    { echo "MimeType differs"; fail=1; }
  grep -q '^Name\[ja\]=' "$out/brimlode.desktop" && grep -q '^Comment\[ja\]=' "$out/brimlode.desktop" ||
    { echo "no Japanese name or comment"; fail=1; }
fi
# Debian's own checks, when lintian is installed: no error may remain.
if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb" || fail=1
fi
want ./usr/share/doc/brimlode/copyright
want ./usr/share/doc/brimlode/changelog.gz
[ $fail -eq 0 ] && echo "package ok: $(basename "$deb"), Depends: $depends"
exit $fail
