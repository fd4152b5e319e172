# Sourced by the package tests: a scratch folder removed on exit, the Linux archive unpacked into
# it, a private X display when none is set, and beat-line checks. A test that cannot run here
# exits 77, which CTest reports as skipped.

SKIP=77
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tc-package.XXXXXX")
xvfb_pid=""
common_cleanup() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  rm -rf "$scratch"
}
trap common_cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# unpack ARCHIVE: unpacks into a fresh folder under the scratch folder; sets `top` to the one top
# folder the archive holds.
unpack() {
  local archive=$1
  [ -f "$archive" ] || fail "$archive is missing: run scripts/package first"
  local into="$scratch/unpacked"
  rm -rf "$into"
  mkdir -p "$into"
  case "$archive" in
    *.tar.gz) tar -xzf "$archive" -C "$into" ;;
    *.zip) (cd "$into" && unzip -q "$archive") ;;
  esac
  local entries
  entries=$(ls -A "$into")
  [ "$(echo "$entries" | wc -l)" -eq 1 ] || fail "$archive has more than one top entry: $entries"
  top="$into/$entries"
  [ -d "$top" ] || fail "$archive's top entry is not a folder"
}

# The version an archive's name carries: tumblecrate-<version>-<platform>.<ext>.
archive_version() {
  basename "$1" | sed -E 's/^tumblecrate-(.*)-(linux|windows)-x86_64\..*$/\1/'
}

# Sets DISPLAY to an X server of this test's own: a shared display would let another program's
# window take the keyboard focus that the Escape key goes to.
need_display() {
  command -v Xvfb >/dev/null || { echo "SKIP: no Xvfb" >&2; exit "$SKIP"; }
  local fd_file="$scratch/display"
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$fd_file" 2>/dev/null &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$fd_file" ] && break; sleep 0.1; done
  [ -s "$fd_file" ] || fail "Xvfb did not start"
  export DISPLAY=":$(head -n 1 "$fd_file")"
}

# Every line of FILE is a beat line, the first is beat 0, and there are at least MIN of them.
check_beats() {
  local file=$1 min=$2
  local lines bad
  lines=$(tr -d '\r' < "$file")
  [ -n "$lines" ] || fail "no beat lines"
  bad=$(echo "$lines" | grep -v -E '^\?\? Beat #[0-9]+ at time [0-9.e+-]+ sec$' | head -n 1)
  [ -z "$bad" ] || fail "not a beat line: '$bad'"
  echo "$lines" | head -n 1 | grep -q -E '^\?\? Beat #0 at time ' || fail "first line: $(echo "$lines" | head -n 1)"
  [ "$(echo "$lines" | wc -l)" -ge "$min" ] || fail "only $(echo "$lines" | wc -l) beat lines"
}

# Waits up to SECONDS for FILE to hold COUNT beat lines (the demo flushes each one) while process
# PID runs; fails naming what it saw otherwise.
wait_for_beats() {
  local file=$1 count=$2 seconds=$3 pid=$4 have=0
  for _ in $(seq $((seconds * 10))); do
    have=$(grep -c 'Beat #' "$file" 2>/dev/null)
    [ "${have:-0}" -ge "$count" ] && return 0
    kill -0 "$pid" 2>/dev/null || fail "the run ended after ${have:-0} beat lines, before $count"
    sleep 0.1
  done
  kill "$pid" 2>/dev/null
  fail "only ${have:-0} beat lines after $seconds s, want $count"
}

# Waits up to SECONDS for a window titled Tumblecrate (of process PID when given); prints its id.
find_window() {
  local seconds=$1 pid=${2:-} window=""
  for _ in $(seq $((seconds * 4))); do
    if [ -n "$pid" ]; then
      window=$(xdotool search --pid "$pid" --name '^Tumblecrate$' 2>/dev/null | head -n 1)
    else
      window=$(xdotool search --name '^Tumblecrate$' 2>/dev/null | head -n 1)
    fi
    [ -n "$window" ] && break
    sleep 0.25
  done
  echo "$window"
}

# Escape for an SDL window: the key event sent to the window itself, as a window manager would
# deliver it (there is none under Xvfb to give the keyboard focus).
send_escape() {
  timeout 10 xdotool key --window "$1" Escape
}

# Escape for a Wine window, which takes keys only through the keyboard focus: focus it, then press
# the key.
press_escape() {
  local window=$1
  timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null || timeout 10 xdotool windowfocus "$window"
  timeout 10 xdotool key Escape
}
