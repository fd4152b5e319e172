#!/usr/bin/env bash
# The Linux archive, unpacked into a fresh folder, started by its full path from an unrelated
# working directory with a bare environment: it finds the resources beside it, beat lines start,
# and Escape ends the run with exit code 0. Also: --version prints the archive's version, and
# with no resources folder in either place the run ends at once with exit code 1 and one line
# naming both places.
#   run_from_anywhere.sh ARCHIVE
set -uo pipefail
source "$(dirname "$0")/common.sh"
unpack "$1"
version=$(archive_version "$1")
need_display

elsewhere="$scratch/elsewhere"
mkdir -p "$elsewhere"
# Only what a desktop session would have: no library path, nothing of the build.
bare_env=(env -i "DISPLAY=$DISPLAY" "HOME=$scratch" "PATH=/usr/bin:/bin")

for exe in zephyrine-720 zephyrine-1080; do
  [ -x "$top/$exe" ] || fail "$exe is not in the archive"

  out=$(cd "$elsewhere" && timeout 10 "${bare_env[@]}" "$top/$exe" --version)
  rc=$?
  [ "$rc" -eq 0 ] || fail "$exe --version: exit code $rc"
  [ "$(echo "$out" | wc -l)" -eq 1 ] || fail "$exe --version printed $(echo "$out" | wc -l) lines"
  [ "${out##* }" = "$version" ] || fail "$exe --version says '$out', the archive is $version"
  echo "ok: $exe --version: $out"

  (cd "$elsewhere" && exec "${bare_env[@]}" "$top/$exe" >"$scratch/$exe.out" 2>"$scratch/$exe.err") &
  pid=$!
  window=$(find_window 20 "$pid")
  if [ -z "$window" ]; then
    kill "$pid" 2>/dev/null
    wait "$pid"
    fail "$exe: no window appeared; stderr: $(tail -n 3 "$scratch/$exe.err")"
  fi
  # Frames are drawn: two beat lines, the second after 0.6 s of song.
  wait_for_beats "$scratch/$exe.out" 2 30 "$pid"
  send_escape "$window"
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && { kill -9 "$pid"; fail "$exe: still running 5 s after Escape"; }
  wait "$pid"
  rc=$?
  [ "$rc" -eq 0 ] || fail "$exe: exit code $rc after Escape; stderr: $(tail -n 3 "$scratch/$exe.err")"
  check_beats "$scratch/$exe.out" 2
  echo "ok: $exe from $elsewhere: $(wc -l < "$scratch/$exe.out") beat lines, Escape, exit code 0"
done

# A resources folder in the working directory comes first, even beside a complete one: its broken
# mesh ends start-up, named as the working directory's.
mkdir -p "$elsewhere/resources"
echo "not a mesh" > "$elsewhere/resources/mesh2.glb"
(cd "$elsewhere" && timeout 30 "${bare_env[@]}" "$top/zephyrine-720" >"$scratch/first.out" 2>"$scratch/first.err")
rc=$?
line=$(grep -v '^ALSA lib' "$scratch/first.err")
[ "$rc" -eq 1 ] || fail "with a broken mesh in the working directory: exit code $rc, want 1"
case "$line" in
  *": resources/mesh2.glb: "*) ;;
  *) fail "with a broken mesh in the working directory: $line" ;;
esac
rm -rf "$elsewhere/resources"
echo "ok: the working directory's resources come first: $line"

# No resources folder anywhere.
mv "$top/resources" "$scratch/resources-away"
(cd "$elsewhere" && "${bare_env[@]}" "$top/zephyrine-720" >"$scratch/none.out" 2>"$scratch/none.err")
rc=$?
[ "$rc" -eq 1 ] || fail "without resources: exit code $rc, want 1"
[ ! -s "$scratch/none.out" ] || fail "without resources: standard output is not empty"
[ "$(wc -l < "$scratch/none.err")" -eq 1 ] || fail "without resources: $(wc -l < "$scratch/none.err") lines on stderr, want 1"
line=$(cat "$scratch/none.err")
case "$line" in
  *"$elsewhere/resources"*"$top/resources"*) ;;
  *) fail "without resources: the line does not name $elsewhere/resources and $top/resources: $line" ;;
esac
echo "ok: without resources: $line"
