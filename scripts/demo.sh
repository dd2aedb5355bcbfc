#!/usr/bin/env bash
# Shows what setup.exe does so far, under Wine: started as the uninstaller it asks the removal
# question (answered No here, which leaves everything as it was), and every text of its
# catalogue comes out of its own string table.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/win32

if [ "${1:-}" != --in-session ]; then
  [ -f $build/setup.exe ] && [ -f $build/uiauto.exe ] || bash scripts/setup.sh
  exec tools/wine/run-in-prefix.sh --host bash "$0" --in-session
fi

field() { # field NAME < records: the value of NAME in each record
  tr '\t' '\n' | sed -n "s/^$1=//p"
}

echo "== setup.exe: $(stat -c %s $build/setup.exe) bytes; imports:" \
  "$(i686-w64-mingw32-objdump -p $build/setup.exe | sed -n 's/.*DLL Name: //p' | tr '\n' ' ')"

folder="$WINEPREFIX/drive_c/PictavoDemo"
rm -rf "$folder" && mkdir -p "$folder"
cp $build/setup.exe "$folder/PictvUnInst.exe"
echo "stands in for the product" >"$folder/Pictv6.exe"

echo "== C:\\PictavoDemo\\PictvUnInst.exe started without arguments"
wine 'C:\PictavoDemo\PictvUnInst.exe' &
uninstaller=$!

box=$(wine $build/uiauto.exe describe --title "Pictavo Setup" --class "#32770" \
  --image PictvUnInst.exe --timeout 20000)
echo "caption: $(grep '^window' <<<"$box" | field title)"
echo "text:    $(grep '^message' <<<"$box" | field text)"
echo "buttons: $(grep '^control' <<<"$box" | grep 'class=Button' | field text | tr '\n' ' ')"
echo "default: $(grep '^default' <<<"$box" | field id) (7 is No)"
echo "icon:    $(grep '^icon' <<<"$box" | field name)"

hwnd=$(grep '^window' <<<"$box" | field hwnd)
wine $build/uiauto.exe press --hwnd "$hwnd" --id 7 --wait-close 10000 >/dev/null
set +e
wait $uninstaller
echo "answered No: exit code $?; the folder still holds: $(ls "$folder" | tr '\n' ' ')"
set -e
rm -rf "$folder"

echo "== the catalogue, read back from setup.exe's string table"
wine $build/uiauto.exe strings $build/setup.exe | grep '^string' |
  awk -F'\t' '{ sub("id=", "", $2); sub("text=", "", $3); printf "%6s  %s\n", $2, $3 }'
