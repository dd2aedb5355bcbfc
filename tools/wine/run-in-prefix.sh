#!/usr/bin/env bash
# Runs a program in the test Wine prefix, creating the prefix on first use.
#
#   run-in-prefix.sh PROGRAM.exe [ARGS...]     a Windows program; its exit code is this script's
#   run-in-prefix.sh --host COMMAND [ARGS...]  a host command inside the prefix's environment
#                                              (WINEPREFIX, DISPLAY, ... exported), e.g. a test
#                                              driver that starts several Windows programs
#   run-in-prefix.sh --prepare                 only create the prefix if needed; prints its path
#   run-in-prefix.sh --reset                   delete the prefix; the next run makes a new one
#
# One run is one session: it holds the prefix's lock, so parallel runs (ctest -j, two
# checkouts) take turns instead of racing, and it gets a display of its own from xvfb-run when
# DISPLAY is unset. The session starts and ends with no Wine process left in the prefix, since
# Wine's processes stay bound to the display they started on.
#
# Environment:
#   PICTAVO_WINEARCH    win64 (default) or win32. The 32-bit setup.exe runs in a win64 prefix
#                       through WoW64, as on most Windows machines, with both registry views
#                       (Wow6432Node); a win32 prefix is quicker to create but has one view
#   PICTAVO_WINEPREFIX  the prefix folder (default: ~/.cache/pictavo-setup/wine-$PICTAVO_WINEARCH)
#   CI=true             a missing tool or program is an error (exit 1); elsewhere it is reported
#                       with exit code 77, which ctest takes as "skipped" (SKIP_RETURN_CODE 77)
#
# Commands run inside a session see PICTAVO_WINE_SESSION; calling this script again from there
# runs directly in the same session.
set -uo pipefail

readonly prefix_format=4  # raise when the way the prefix is prepared changes
readonly skip_code=77

arch=${PICTAVO_WINEARCH:-win64}
prefix=${PICTAVO_WINEPREFIX:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/pictavo-setup/wine-$arch}

export WINEARCH=$arch
export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko download prompt, and no desktop menu entries on the host for the shortcuts
# that the program under test creates.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

missing() {
  echo "run-in-prefix: $*" >&2
  if [ "${CI:-}" = true ]; then
    exit 1
  fi
  exit $skip_code
}

run_command() {
  local mode=$1
  shift
  if [ "$mode" = host ]; then
    "$@"
  else
    wine "$@"
  fi
}

# Already inside a session: no second lock, no second display.
if [ "${PICTAVO_WINE_SESSION:-}" = "$WINEPREFIX" ] && [ "${1:-}" != --in-session ]; then
  case "${1:-}" in
    --prepare) echo "$WINEPREFIX"; exit 0 ;;
    --reset) echo "run-in-prefix: cannot reset the prefix from inside a session" >&2; exit 1 ;;
    --host) shift; run_command host "$@"; exit ;;
    *) run_command wine "$@"; exit ;;
  esac
fi

# The inner half of a session, started below under xvfb-run or directly.
if [ "${1:-}" = --in-session ]; then
  mode=$2
  shift 2
  export PICTAVO_WINE_SESSION=$WINEPREFIX
  wineserver -k 2>/dev/null
  wineserver -w
  run_command "$mode" "$@"
  status=$?
  wineserver -k 2>/dev/null
  wineserver -w
  exit $status
fi

mode=wine
case "${1:-}" in
  --prepare | --reset) mode=${1#--} ;;
  --host) mode=host; shift ;;
  "" | -h | --help) sed -n '2,/^set -uo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
esac
if [ "$mode" = host ] || [ "$mode" = wine ]; then
  [ $# -gt 0 ] || { echo "run-in-prefix: nothing to run" >&2; exit 1; }
fi

for tool in wine wineserver wineboot flock; do
  command -v $tool >/dev/null || missing "$tool is not installed (scripts/install-tools.sh)"
done
# Wine's loader for 32-bit programs is itself a 32-bit program: a kernel built or booted without
# IA-32 emulation refuses it ("Exec format error") unless qemu is registered for such programs,
# which scripts/install-tools.sh does and a restart undoes.
if ! wine_version=$(wine --version 2>&1); then
  missing "wine cannot start: ${wine_version##*: }; this machine runs no 32-bit programs" \
    "(dmesg | grep -i ia32) and no emulator is registered for them: run scripts/install-tools.sh"
fi
if [ "$mode" = wine ] && [[ "$1" == */* ]] && [ ! -f "$1" ]; then
  missing "$1 does not exist (build the win32 preset first)"
fi

mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
if ! flock -w "${PICTAVO_WINE_LOCK_TIMEOUT:-1800}" 9; then
  echo "run-in-prefix: the prefix $prefix stayed locked by another run" >&2
  exit 1
fi

# Wine's own fonts (Debian's fonts-wine) make the dialogs and caption buttons look as on
# Windows; a prefix made before they came would keep what it found then.
if [ -f /usr/share/wine/fonts/marlett.ttf ]; then fonts=wine; else fonts=host; fi
stamp="format=$prefix_format arch=$arch fonts=$fonts $wine_version"

create_prefix() {
  echo "run-in-prefix: creating the Wine prefix $prefix ($arch)" >&2
  rm -rf "$prefix"
  local started=$SECONDS
  if ! wineboot -i >/dev/null 2>&1 9>&- || ! wineserver -w 9>&-; then
    echo "run-in-prefix: wineboot failed in $prefix" >&2
    rm -rf "$prefix"
    exit 1
  fi
  # Wine links the user's Desktop, Documents, ... to the host's home folder. A program under
  # test must not create or delete shortcuts there: give the prefix folders of its own.
  find "$prefix/drive_c/users" -mindepth 2 -maxdepth 2 -type l | while read -r link; do
    rm "$link" && mkdir "$link"
  done
  # Without a window manager on the test display, Wine waits 2 s for one at every hidden
  # window (a process that showed a message box took 2 s to end). Unmanaged windows need none.
  if ! wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 9>&- ||
    ! wineserver -w 9>&-; then
    echo "run-in-prefix: configuring $prefix failed" >&2
    rm -rf "$prefix"
    exit 1
  fi
  # Debian's Wine does not find fonts-wine's files by itself (the close box shows an "r"); in
  # the prefix's Fonts folder it loads them as Windows' own.
  if [ "$fonts" = wine ]; then
    cp /usr/share/wine/fonts/marlett.ttf /usr/share/wine/fonts/tahoma*.ttf \
      "$prefix/drive_c/windows/Fonts/"
  fi
  # A Wine update would otherwise rebuild the prefix (and those links) on the next start.
  echo disable >"$prefix/.update-timestamp"
  echo "$stamp" >"$prefix/.pictavo-prefix"
  echo "run-in-prefix: prefix ready in $((SECONDS - started)) s," \
    "$(du -sh "$prefix" 2>/dev/null | cut -f1)" >&2
}

case "$mode" in
  reset)
    if [ -d "$prefix" ]; then
      wineserver -k 2>/dev/null 9>&-
      wineserver -w 9>&-
      rm -rf "$prefix"
    fi
    exit 0
    ;;
esac

if [ "$(cat "$prefix/.pictavo-prefix" 2>/dev/null)" != "$stamp" ]; then
  create_prefix
fi
if [ "$mode" = prepare ]; then
  echo "$prefix"
  exit 0
fi

# The lock stays with this shell only: a wineserver that outlived the session must not hold it.
if [ -n "${DISPLAY:-}" ]; then
  bash "$0" --in-session "$mode" "$@" 9>&-
else
  command -v xvfb-run >/dev/null || missing "xvfb-run is not installed and DISPLAY is unset"
  command -v Xvfb >/dev/null || missing "Xvfb is not installed and DISPLAY is unset"
  xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash "$0" --in-session "$mode" "$@" 9>&-
fi
