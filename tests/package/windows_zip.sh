#!/usr/bin/env bash
# The Windows zip, unpacked, started under Wine by its full path from another folder: it finds the
# resources beside it, beat lines start and Escape ends the run with exit code 0; --version prints
# the archive's version; with no resources folder in either place, exit code 1 and one line naming
# both places.
#   windows_zip.sh ARCHIVE SOURCE_DIR
set -uo pipefail
here=$(dirname "$0")
source "$here/common.sh"
command -v wine >/dev/null || { echo "Wine is not installed" >&2; exit "$SKIP"; }
unpack "$1"
version=$(archive_version "$1")

# shellcheck source=../windows/wine_env.sh
source "$2/tests/windows/wine_env.sh"
trap 'wine_env_stop; common_cleanup' EXIT
# Its own X server (see need_display in common.sh).
unset DISPLAY
wine_env_start || fail "no Wine prefix or X display"

elsewhere="$scratch/elsewhere"
mkdir -p "$elsewhere"
exe="$top/zephyrine-720.exe"
[ -f "$exe" ] && [ -f "$top/zephyrine-1080.exe" ] || fail "the .exe files are not in the archive"

out=$(cd "$elsewhere" && timeout 60 wine "$exe" --version | tr -d '\r')
[ "${out##* }" = "$version" ] || fail "--version says '$out', the archive is $version"
echo "ok: zephyrine-720.exe --version: $out"

(cd "$elsewhere" && exec timeout 120 wine "$exe" >"$scratch/run.out" 2>"$scratch/run.err") &
pid=$!
window=$(find_window 60)
if [ -z "$window" ]; then
  kill "$pid" 2>/dev/null
  wait "$pid"
  fail "no window appeared; stderr: $(tr -d '\r' < "$scratch/run.err" | tail -n 3)"
fi
wait_for_beats "$scratch/run.out" 2 60 "$pid"
press_escape "$window"
wait "$pid"
rc=$?
[ "$rc" -eq 0 ] || fail "exit code $rc after Escape; stderr: $(tr -d '\r' < "$scratch/run.err" | tail -n 3)"
check_beats "$scratch/run.out" 2
echo "ok: zephyrine-720.exe from $elsewhere: $(wc -l < "$scratch/run.out") beat lines, Escape, exit code 0"

mv "$top/resources" "$scratch/resources-away"
(cd "$elsewhere" && timeout 60 wine "$exe" >"$scratch/none.out" 2>"$scratch/none.err")
rc=$?
[ "$rc" -eq 1 ] || fail "without resources: exit code $rc, want 1"
[ ! -s "$scratch/none.out" ] || fail "without resources: standard output is not empty"
[ "$(wc -l < "$scratch/none.err")" -eq 1 ] || fail "without resources: $(wc -l < "$scratch/none.err") lines on stderr, want 1"
line=$(tr -d '\r' < "$scratch/none.err")
case "$line" in
  *"no resources folder"*"elsewhere\\resources"*"tumblecrate-$version\\resources"*) ;;
  *) fail "without resources: the line does not name both places: $line" ;;
esac
echo "ok: without resources: $line"
