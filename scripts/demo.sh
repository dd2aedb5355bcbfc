#!/usr/bin/env bash
# Shows setup.exe at work under Wine, in a Wine prefix of its own made afresh (build/demo-prefix,
# or PICTAVO_WINEPREFIX): the sample distribution build/win32/dist installed silently, what that
# put on the machine, the running product closed by a silent update, the removal question
# answered No, the silent removal, and what is left before and after the next system start.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/win32

if [ "${1:-}" != --in-session ]; then
  [ -f $build/dist/setup.exe ] && [ -f $build/uiauto.exe ] || bash scripts/setup.sh
  export PICTAVO_WINEPREFIX=${PICTAVO_WINEPREFIX:-$PWD/build/demo-prefix}
  tools/wine/run-in-prefix.sh --reset >/dev/null
  echo "== a new Wine prefix: $PICTAVO_WINEPREFIX"
  exec tools/wine/run-in-prefix.sh --host bash "$0" --in-session
fi

field() { # field NAME < records: the value of NAME in each record, its escapes undone
  local value
  tr '\t' '\n' | sed -n "s/^$1=//p" | while IFS= read -r value; do printf '%b\n' "$value"; done
}
regsz() { # regsz KEY VALUE: a string value in the 32-bit view, empty when missing
  wine reg query "$1" /v "$2" /reg:32 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p'
}
uiauto() { wine $build/uiauto.exe "$@"; }

echo "== the distribution $build/dist"
(cd $build/dist && find . -type f | sed 's|^\./||' | sort | tr '\n' ' ')
echo
echo "== setup.exe -s, started in the distribution folder"
start=$(date +%s.%N)
set +e
(cd $build/dist && wine setup.exe -s)
echo "exit code $?, $(echo "$(date +%s.%N) - $start" | bc | cut -c1-4) s"
set -e

product=$(regsz 'HKLM\SOFTWARE\Corvantis\Pictavo 6' Path)
product_unix=$(winepath -u "$product")
echo "program files folder of 32-bit programs:" \
  "$(regsz 'HKLM\Software\Microsoft\Windows\CurrentVersion' ProgramFilesDir)"
echo "== files in $product"
(cd "$product_unix" && find . -type f | sed 's|^\./||' | sort | sed 's/^/  /')
echo "== $product\\PictvUnInst.log"
tr -d '\r' <"$product_unix/PictvUnInst.log" | sed 's/^/  |/'
for key in 'HKLM\SOFTWARE\Corvantis\Pictavo 6' \
  'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\Pictv6.exe' \
  'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Pictavo 6'; do
  echo "== $key (32-bit view)"
  wine reg query "$key" /reg:32 | tr -d '\r' | grep REG_SZ | sed 's/^ *//; s/    REG_SZ    / = /; s/^/  /'
done
echo "== shortcuts"
links=$(grep '^Shell Link: ' "$product_unix/PictvUnInst.log" | tr -d '\r' | sed 's/^Shell Link: //')
while IFS= read -r link; do
  record=$(uiauto shortcut "$link")
  echo "  $link"
  echo "    -> $(field target <<<"$record")  (working folder: $(field workdir <<<"$record"))"
done <<<"$links"

echo "== the product running from $product while setup.exe -install -s installs it again"
# The stand-in product records what reaches its main window into the file PICTV6_RECORD names.
records=$(mktemp /tmp/pictv6-records-XXXXXX)
(cd "$product_unix" && PICTV6_RECORD=$(winepath -w "$records") wine "$product\\Pictv6.exe") &
running=$!
uiauto wait --title "Pictavo 6" --class Pictavo6Main --timeout 20000 >/dev/null
echo "  running: Pictv6.exe, pid $(uiauto procs --image Pictv6.exe | field pid | tr '\n' ' ')"
set +e
(cd $build/dist && wine setup.exe -install -s)
echo "  setup.exe -install -s: exit code $?"
wait $running
echo "  the product ended, exit code $?; what its main window received:"
set -e
tr -d '\r' <"$records" | awk -F'\t' '$1 == "received" {
  split($3, m, "="); name = m[2] == 1946 ? "kInstanceAddedMessage" : \
    m[2] == 1947 ? "kInstanceRemovedMessage" : m[2] == 16 ? "WM_CLOSE" : m[2]
  printf "    %-24s %s %s\n", name, $4, $5 }'
rm -f "$records"
still=$(uiauto procs --image Pictv6.exe | field pid | tr '\n' ' ' || true)
echo "  Pictv6.exe still running: ${still:-no}"
pending=$(wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' \
  /v PendingFileRenameOperations 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_MULTI_SZ *//p' || true)
echo "  waiting for the next start: ${pending:-nothing}"

echo "== PictvUnInst.exe without arguments: the removal question, answered No"
(cd "$product_unix" && wine "$product\\PictvUnInst.exe") &
uninstaller=$!
box=$(uiauto describe --title "Pictavo Setup" --class "#32770" --image PictvUnInst.exe \
  --timeout 20000)
grep '^message' <<<"$box" | field text | sed 's/^/  /'
uiauto press --hwnd "$(grep '^window' <<<"$box" | field hwnd)" --id 7 --wait-close 10000 >/dev/null
set +e
wait $uninstaller
echo "  exit code $?; the product folder holds $(find "$product_unix" -type f | wc -l) files"
set -e

temp=$(winepath -u "$(wine cmd /c echo %TEMP% | tr -d '\r')")
echo "== PictvUnInst.exe -s, started in the product folder"
(cd "$product_unix" && wine "$product\\PictvUnInst.exe" -s)
wineserver -w
# Listed before Wine starts again: the next start of its server is Wine's system start, which
# carries out the deletion that the temporary copy scheduled for itself.
echo "waiting for the next start: $(ls "$temp" | grep -i '^uni.*\.tmp$' | tr '\n' ' ')"
echo "product folder:   $([ -e "$product_unix" ] && echo "still there" || echo gone)"
for key in 'HKLM\SOFTWARE\Corvantis' \
  'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\Pictv6.exe' \
  'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Pictavo 6'; do
  echo "$key: $(wine reg query "$key" /reg:32 >/dev/null 2>&1 && echo "still there" || echo gone)"
done
left=0
while IFS= read -r link; do
  [ -e "$(winepath -u "$link")" ] && { echo "still there: $link"; left=1; }
done <<<"$links"
echo "shortcuts:        $([ $left = 0 ] && echo gone || echo 'some left')"
echo "after the next start:       $(ls "$temp" | grep -i '^uni.*\.tmp$' | tr '\n' ' ')"
