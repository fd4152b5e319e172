#!/usr/bin/env bash
# Runs one fuzz target over its seeds for a fixed number of executions, with a fixed seed, from a
# fresh scratch corpus (so the seeds are never written to). Usage:
#   run_fuzzer.sh FUZZER WORK_DIR RUNS [libFuzzer options...] -- SEED_DIR...
set -euo pipefail
fuzzer=$1 work=$2 runs=$3
shift 3
options=()
while [ "$#" -gt 0 ] && [ "$1" != "--" ]; do options+=("$1"); shift; done
shift
rm -rf "$work"
mkdir -p "$work"
exec "$fuzzer" -runs="$runs" -seed=1 -print_final_stats=1 -artifact_prefix="$work." \
  "${options[@]}" "$work" "$@"
