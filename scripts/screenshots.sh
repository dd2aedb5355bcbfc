#!/usr/bin/env bash
# Takes the wizard's screenshots for the README: setup.exe from a copy of the sample
# distribution, run under Wine in the test prefix on a display of its own, walked page by page,
# each page's window cut out of the display into docs/wizard/*.png. Afterwards the installation,
# the copy and the changed keys are removed again. Not part of the tests.
#
#   bash scripts/screenshots.sh          PICTAVO_WIN32_BUILD picks another win32 build folder
set -euo pipefail
cd "$(dirname "$0")/.."
build=${PICTAVO_WIN32_BUILD:-build/win32}
out=docs/wizard

if [ "${1:-}" != --in-session ]; then
  for file in "$build/dist/setup.exe" "$build/uiauto.exe" "$build/urlrecorder.exe"; do
    [ -f "$file" ] || { echo "screenshots: $file is missing (build the win32 preset)" >&2; exit 1; }
  done
  command -v import >/dev/null || { echo "screenshots: ImageMagick's import is missing" \
    "(scripts/install-tools.sh)" >&2; exit 1; }
  # Without Wine's fonts the pictures show host fonts and an "r" for the close box.
  [ -f /usr/share/wine/fonts/marlett.ttf ] || { echo "screenshots: Wine's fonts are missing" \
    "(fonts-wine; scripts/install-tools.sh)" >&2; exit 1; }
  mkdir -p "$out"
  # A display of our own: run-in-prefix starts Xvfb when DISPLAY is unset.
  unset DISPLAY
  exec env PICTAVO_WIN32_BUILD="$build" tools/wine/run-in-prefix.sh --host bash "$0" --in-session
fi

uiauto() { wine "$build/uiauto.exe" "$@"; }
field() { # field NAME < records: the value of NAME in each record, its escapes undone
  local value
  tr '\t' '\n' | sed -n "s/^$1=//p" | while IFS= read -r value; do printf '%b\n' "$value"; done
}
regsz() { wine reg query "$1" /v "$2" /reg:32 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p'; }

# In the user's temp folder, so that the folder browser's picture shows the drive as it is.
temp=$(wine cmd /c echo %TEMP% | tr -d '\r')
work=$(winepath -u "$temp\\pictavo-screenshots")
dist="$work/Pictavo 6"
product=$(regsz 'HKLM\Software\Microsoft\Windows\CurrentVersion' ProgramFilesDir)'\Pictavo 6'
http_key='HKEY_CLASSES_ROOT\http\shell\open\command'
http_before=$(wine reg query "$http_key" /ve 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
if wine reg query 'HKLM\SOFTWARE\Corvantis\Pictavo 6' /reg:32 >/dev/null 2>&1; then
  echo "screenshots: the test prefix already has the product installed" >&2
  exit 1
fi

reg_quoted() { # the text between quotes, as a .reg file writes it
  printf '"%s"' "$(printf '%s' "$1" | sed 's/\\/\\\\/g; s/"/\\"/g')"
}
reg_import() {
  printf 'Windows Registry Editor Version 5.00\n\n%s\n' "$1" >"$work/keys.reg"
  wine reg import "$temp\\pictavo-screenshots\\keys.reg" /reg:32 >/dev/null 2>&1
}

cleanup() {
  set +e
  [ -n "${setup_pid:-}" ] && kill "$setup_pid" 2>/dev/null
  wine taskkill /f /im Pictv6.exe >/dev/null 2>&1
  local programs desktop
  programs=$(regsz 'HKLM\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' \
    'Common Programs')
  desktop=$(regsz 'HKLM\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' \
    'Common Desktop')
  rm -rf "$(winepath -u "$product")" "$(winepath -u "$programs\\Pictavo 6")" \
    "$(winepath -u "$desktop\\Pictavo 6.lnk")"
  local user_programs user_desktop
  user_programs=$(wine reg query \
    'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' /v Programs |
    tr -d '\r' | sed -n 's/.*REG_SZ *//p')
  user_desktop=$(wine reg query \
    'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' /v Desktop |
    tr -d '\r' | sed -n 's/.*REG_SZ *//p')
  rm -rf "$(winepath -u "$user_programs\\Pictavo 6")" "$(winepath -u "$user_desktop\\Pictavo 6.lnk")"
  local restore="[$http_key]"$'\n@='"$(reg_quoted "$http_before")"
  reg_import "$restore"$'\n\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvantis]
[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Pictv6.exe]
[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pictavo 6]'
  rm -rf "$work"
}
trap cleanup EXIT

rm -rf "$work"
mkdir -p "$work"
cp -r "$build/dist" "$dist"
# Many small files keep the installation busy long enough for its page to be caught with the
# progress bar part way; a large file would hold the bar still while it is copied.
mkdir "$dist/Many"
for i in $(seq 0 2999); do printf '%512s' '' >"$dist/Many/file$i.dat"; done
printf 'Make Dir: Many\r\nFile Copy: Many\\*.dat\r\n' >>"$dist/PictvUnInst.log"
# The vendor's page goes to the recorder, not to a browser on the host.
reg_import "[$http_key]"$'\n@='"$(reg_quoted "\"$(winepath -w "$(realpath "$build/urlrecorder.exe")")\" \"$temp\\pictavo-screenshots\\opened.txt\" \"%1\"")"

(cd "$dist" && exec wine setup.exe) >/dev/null 2>&1 &
setup_pid=$!
frame=$(uiauto wait --title "Pictavo Setup" --class '#32770' --image setup.exe --timeout 30000 |
  field hwnd)

visible_control() { # visible_control HWND ID: true when the window shows a control with that id
  uiauto describe --hwnd "$1" | grep -P "^control\t.*\tid=$2\t.*\tvisible=1" >/dev/null
}
wait_for() { # wait_for ID: until the frame shows the page with that control
  for _ in $(seq 100); do
    visible_control "$frame" "$1" && return 0
    sleep 0.1
  done
  echo "screenshots: the page with control $1 did not show" >&2
  return 1
}
rect= # the frame's rectangle, the same on every page
shoot() { # shoot HWND NAME: the window's rectangle on the display, as docs/wizard/NAME.png
  local record geometry
  record=$(uiauto list --hwnd "$1")
  geometry="$(field cx <<<"$record")x$(field cy <<<"$record")+$(field x <<<"$record")+$(field y \
    <<<"$record")"
  [ "$1" = "$frame" ] && rect=$geometry
  grab "$geometry" "$2"
}
grab() { # grab GEOMETRY NAME: that part of the display, as it is now
  import -window root -crop "$1" +repage -strip "png8:$out/$2.png"
  echo "$out/$2.png  $1"
}
press() { uiauto press --hwnd "$frame" --id "$1" >/dev/null; }

wait_for 1003
shoot "$frame" 1-welcome
press 1
wait_for 1000
shoot "$frame" 2-agreement
press 1
wait_for 1013
shoot "$frame" 3-destination

press 1005
browser=$(uiauto wait --title "Browse for Folder" --class '#32770' --image setup.exe \
  --timeout 10000 | field hwnd)
uiauto browse --hwnd "$browser" --path 'C:\Program Files (x86)' >/dev/null
sleep 0.3
shoot "$browser" 4-folder-browser
uiauto press --hwnd "$browser" --id 2 --wait-close 10000 >/dev/null

press 1
wait_for 1008
shoot "$frame" 5-group
press 1
wait_for 1010
shoot "$frame" 6-ready
# While the installation copies, the frame paints but answers no message in time, so it is
# not asked what it shows: the picture is taken from the display a moment after the press.
press 1
started=$SECONDS
sleep 1
grab "$rect" 7-installing
wait_for 1012
echo "the installation took about $((SECONDS - started)) s"
shoot "$frame" 8-finished
press 1
wait "$setup_pid" || true
setup_pid=
