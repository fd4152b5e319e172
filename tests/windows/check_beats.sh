#!/usr/bin/env bash
# Checks a run's standard output: nothing but well-formed beat lines
# ("?? Beat #<b> at time <t> sec"), beats strictly increasing, the first beat 0 and the last
# <last>; or, with "end" (the default), a run played to the end of the show: the last line is
# the first past the show's last beat (289), the frame that ends it: beat 290, or a later one
# where that frame came more than a beat after the one before (a busy machine). The Windows C
# runtime writes text-mode line ends (CR LF); they are accepted.
# Usage: check_beats.sh <stdout-file> [last-beat|end]
set -euo pipefail
file=$1
last=${2:-end}
awk -v want_last="$last" '
  { sub(/\r$/, "") }
  !/^\?\? Beat #[0-9]+ at time [0-9]+(\.[0-9]+)?(e[-+]?[0-9]+)? sec$/ {
    printf "check_beats: line %d is not a beat line: %s\n", NR, $0; bad = 1; exit 1
  }
  {
    beat = $3; sub(/^#/, "", beat); beat += 0
    if (NR == 1 && beat != 0) { printf "check_beats: first beat is %d, not 0\n", beat; bad = 1; exit 1 }
    if (NR > 1 && beat <= prev) { printf "check_beats: beat %d after %d\n", beat, prev; bad = 1; exit 1 }
    before = prev; prev = beat; n = NR
  }
  END {
    if (bad) exit 1
    if (n == 0) { print "check_beats: no beat lines"; exit 1 }
    if (want_last == "end") {
      if (prev < 290 || (n > 1 && before > 289)) {
        printf "check_beats: the run did not end on the first frame past beat 289 (last beats %d, %d)\n", before, prev
        exit 1
      }
    } else if (prev != want_last + 0) {
      printf "check_beats: last beat is %d, not %d\n", prev, want_last; exit 1
    }
    printf "check_beats: %d beat lines, 0 to %d\n", n, prev
  }' "$file"
