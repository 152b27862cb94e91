#!/usr/bin/env bash
# Takes the pictures in docs/: every window and dialog of the program under
# Xvfb with openbox and a Japanese locale, each with its window frame.
# Needs a built ./build/brimlode; installs the rest (as root or with sudo).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --docs
if ! locale -a | grep -qi '^ja_JP.utf-\?8$'; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  $SUDO locale-gen >/dev/null
fi
app=$PWD/build/brimlode
docs=$PWD/docs
work=$(mktemp -d)
export DISPLAY=:77 LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 XDG_CONFIG_HOME=$work/config
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"; }
trap cleanup EXIT
Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
sleep 1
openbox >/dev/null 2>&1 & pids+=($!)
sleep 1

windows() { xdotool search --onlyvisible --class 'brimlode' 2>/dev/null | sort; }
# The window that appeared since the list in $1.
newest() { comm -13 <(echo "$1") <(windows) | tail -1; }
# A window with the frame openbox put around it: the frame (its parent) and
# the window are taken apart, as xwd leaves a window of another depth black.
shoot() {
  [ -n "$2" ] || { echo "no window for $1"; return; }
  local frame left top
  xwd -silent -id "$2" | xwdtopnm 2>/dev/null >"$work/client.ppm"
  frame=$(xwininfo -id "$2" -tree | awk '/Parent window id/{print $4, $5}')
  if [ "${frame#* }" = "(the" ]; then  # no frame: a popup menu
    pnmtopng -compression 9 <"$work/client.ppm" >"$docs/$1.png"
    return
  fi
  read -r left _ top _ < <(xprop -id "$2" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
  xwd -silent -id "${frame%% *}" | xwdtopnm 2>/dev/null >"$work/frame.ppm"
  pnmpaste "$work/client.ppm" "$left" "$top" "$work/frame.ppm" | pnmtopng -compression 9 >"$docs/$1.png"
}

# An attachment as the window is for: a program posing as a document, a
# nested archive, and files nothing is odd about; the marks show on the first two.
python3 - "$work/表.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("資料/見積書.txt", "お見積りの内容です。\n" * 40)
    z.writestr("資料/請求書.pdf.exe", b"MZ" + bytes(3000))
    z.writestr("写真/旅行.jpg", bytes(range(256)) * 20)
    z.writestr("写真/アルバム.zip", b"PK\x05\x06" + bytes(18))
    z.writestr("readme.txt", "Brimlode\n" * 30)
PY
(cd "$work" && "$app" "表.zip" >/dev/null 2>&1) & pids+=($!)
sleep 3
main=$(xdotool search --name '^Brimlode$' | tail -1)
shoot window "$main"

before=$(windows); xdotool key ctrl+o; sleep 1.5
shoot file-dialog "$(newest "$before")"
xdotool key Escape; sleep 0.5

before=$(windows); xdotool key alt+w; sleep 1   # 書き換え, not analysed since the dialog
shoot message-box "$(newest "$before")"
xdotool key Return; sleep 0.5

xdotool key F5 ctrl+a; sleep 1
before=$(windows); xdotool key alt+w; sleep 1   # 書き換え, with every entry ticked
shoot question-box "$(newest "$before")"
xdotool key Escape; sleep 0.5

before=$(windows); xdotool key alt+v; sleep 1   # バージョン情報
about=$(newest "$before")
shoot about "$about"
# The link, where no browser is installed (as on this test machine).
before=$(windows)
xdotool mousemove --window "$about" 250 72 click 1; sleep 1.5
link=$(newest "$before")
if [ -n "$link" ]; then shoot link-message "$link"; xdotool key Return; sleep 0.5; fi
xdotool mousemove --window "$about" 60 70 click 1; sleep 0.5   # 閉じる

# The log pane's context menu, from Qt's own translations.
before=$(windows)
xdotool mousemove --window "$main" 200 490 click 3; sleep 1
shoot context-menu "$(newest "$before")"
xdotool key Escape; sleep 0.3

# A file that cannot be opened, named on the command line: the error box.
before=$(windows)
(cd "$work" && "$app" "$work/missing.zip" >/dev/null 2>&1) & pids+=($!)
sleep 3
for w in $(comm -13 <(echo "$before") <(windows)); do
  [ "$(xwininfo -id "$w" | awk '/Width:/{print $2}')" -lt 600 ] && shoot error-box "$w"
done
echo "pictures in $docs"
