#!/usr/bin/env bash
# Shows what setup.exe does so far, under Wine: started as the uninstaller it asks the removal
# question (answered No here, which leaves everything as it was); started silently from an
# installed product's folder it removes the product, and the next system start takes its
# temporary copy; and every text of its catalogue comes out of its own string table.
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

echo "== an installed product, as the installer leaves it"
product="$WINEPREFIX/drive_c/Program Files/Pictavo 6"
programs=$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' \
  /v 'Common Programs' | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
group="$programs\Pictavo 6"
mkdir -p "$product/Samples"
cp $build/setup.exe "$product/PictvUnInst.exe"
cp $build/Pictv6.exe "$product/Pictv6.exe"
echo "Read about Pictavo 6" >"$product/readme.txt"
echo "sample" >"$product/Samples/one.dat"
group_unix=$(winepath -u "$group")
mkdir -p "$group_unix" && echo "shortcut" >"$group_unix/Pictavo 6.lnk"
printf '%s\r\n' "File Copy: Pictv6.exe" "File Copy: readme.txt" "Make Dir: Samples" \
  "File Copy: Samples\*.dat" "File Copy: setup.exe>PictvUnInst.exe" "" "Made Dir: $group" \
  "Shell Link: $group\Pictavo 6.lnk" >"$product/PictvUnInst.log"
wine reg add 'HKLM\SOFTWARE\Corvantis\Pictavo 6' /v Path /d 'C:\Program Files\Pictavo 6' /f >/dev/null
wine reg add 'HKLM\SOFTWARE\Corvantis\Pictavo 6' /v AllUsers /d B /f >/dev/null
wine reg add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Pictavo 6' \
  /v UninstallString /d 'C:\Program Files\Pictavo 6\PictvUnInst.exe' /f >/dev/null
show() {
  echo "files:    $(cd "$WINEPREFIX/drive_c/Program Files" && find 'Pictavo 6' 2>/dev/null | tr '\n' ' ')"
  echo "group:    $(ls "$group_unix" 2>/dev/null | tr '\n' ' ')"
  echo "registry: $(wine reg query 'HKLM\SOFTWARE\Corvantis\Pictavo 6' 2>/dev/null | tr -d '\r' |
    grep REG_SZ | sed 's/^ *//' | tr -s ' ' | tr '\n' ';')"
}
show
temp=$(winepath -u "$(wine cmd /c echo %TEMP% | tr -d '\r')")
echo "== C:\\Program Files\\Pictavo 6\\PictvUnInst.exe -s"
(cd "$product" && wine 'C:\Program Files\Pictavo 6\PictvUnInst.exe' -s)
wineserver -w
# Listed before Wine starts again: the next start of its server is Wine's system start, which
# carries out the deletion that the temporary copy scheduled for itself.
echo "waiting for the next start: $(ls "$temp" | grep -i '^uni.*\.tmp$' | tr '\n' ' ')"
show
echo "after the next start:       $(ls "$temp" | grep -i '^uni.*\.tmp$' | tr '\n' ' ')"

echo "== the catalogue, read back from setup.exe's string table"
wine $build/uiauto.exe strings $build/setup.exe | grep '^string' |
  awk -F'\t' '{ sub("id=", "", $2); sub("text=", "", $3); printf "%6s  %s\n", $2, $3 }'
