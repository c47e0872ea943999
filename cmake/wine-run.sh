#!/bin/sh
# Runs a Windows program under Wine: wine-run.sh PREFIX PROGRAM [ARGUMENTS...]
# Used as the cross-compiling emulator, so ctest and test discovery run the Windows test
# executables as they run Linux ones. PREFIX is the Wine prefix to use unless WINEPREFIX is
# already set; it is created on first use.
#
# Wine starts its server and background services from the first program of a session, and
# those inherit that program's output; a caller that reads the output to its end (ctest does)
# would then wait until they end. So the server is started here first, kept alive for ten
# minutes after its last program, and its services are started detached.
set -eu
prefix=$1
shift
export WINEPREFIX="${WINEPREFIX:-$prefix}"
case "$WINEPREFIX" in /*) ;; *) WINEPREFIX="$PWD/$WINEPREFIX" ;; esac
export WINEDEBUG="${WINEDEBUG:--all}"
# No prompts for the .NET and HTML engines when the prefix is created.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  # A new prefix: create it, then let its short-lived server go so that the one below
  # (which outlives its programs) takes over.
  wine wineboot -i </dev/null >/dev/null 2>&1
  wineserver -w
fi
# Exit status 0 means no server was running for this prefix and a new one now is.
if wineserver -p600 </dev/null >/dev/null 2>&1; then
  wine wineboot </dev/null >/dev/null 2>&1
fi
flock -u 9
exec 9>&-

# The program's output goes through files, not straight to the caller: a background process
# that Wine starts on the program's behalf (the desktop, when the program is the first to
# draw) inherits the program's output and would hold the caller's pipe open long after the
# program has ended.
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
set +e
wine "$@" >"$out" 2>"$err"
status=$?
set -e
cat "$out"
cat "$err" >&2
exit $status
