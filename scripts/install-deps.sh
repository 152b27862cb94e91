#!/usr/bin/env bash
# Installs what building, running and testing Brimlode needs on Debian 12.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail
packages=(
  cmake g++ ninja-build pkg-config
  qt6-base-dev libgl-dev libgtest-dev zlib1g-dev libcli11-dev nlohmann-json3-dev libutf8proc-dev
  libgmime-3.0-dev
  fonts-ipafont-gothic xvfb xauth
  zip unzip p7zip-full libarchive-tools lhasa jlha-utils
  ziptool minizip apksigner zipalign
  time
  desktop-file-utils qt6-translations-l10n
)
# --docs: also what scripts/screenshots.sh needs.
if [ "${1:-}" = --docs ]; then
  packages+=(openbox xdotool x11-apps x11-utils netpbm locales)
fi
# Postfix for the mail gateway's test, installed unconfigured ("No
# configuration": nothing starts, nothing listens; the test runs an instance
# of its own), and only where no other mail server provides sendmail, as apt
# would remove that one.
if [ ! -e /usr/sbin/sendmail ] || dpkg-query -W -f='${Status}' postfix 2>/dev/null | grep -q 'install ok installed'; then
  packages+=(postfix)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  if [[ " ${missing[*]} " == *" postfix "* ]]; then
    echo "postfix postfix/main_mailer_type select No configuration" | $SUDO debconf-set-selections
  fi
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
