#!/usr/bin/env python3
"""Checks zephyrine-trace's output format and run semantics on a few song times.

Usage: trace_format_test.py PATH_TO_ZEPHYRINE_TRACE
"""
import re
import struct
import subprocess
import sys

FLOAT = r"(?:-?(?:inf|nan)|-?\d+(?:\.\d+)?(?:e[+-]\d+)?)"
HEADER = re.compile(
    rf"^frame (\d+) time ({FLOAT}) jitter ({FLOAT}) beat ({FLOAT}) texture ([012]) "
    rf"event ([01]) cubes (\d+)$")
MATRIX = re.compile(rf"^([PW])((?: {FLOAT}){{16}})$")

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def run(tool, times):
    text = "".join(f"{t}\n" for t in times)
    return subprocess.run([tool], input=text, capture_output=True, text=True, timeout=60)


def parse(stdout):
    """Splits the output into frames: (header fields, projection, [world matrices])."""
    lines = stdout.splitlines()
    frames, i = [], 0
    while i < len(lines):
        m = HEADER.match(lines[i])
        if not m:
            failures.append(f"line {i + 1} is not a frame header: {lines[i][:80]!r}")
            return frames
        cubes = int(m.group(7))
        block = lines[i + 1:i + 2 + cubes]
        if len(block) != cubes + 1:
            failures.append(f"frame {m.group(1)} is cut short")
            return frames
        mats = []
        for j, line in enumerate(block):
            mm = MATRIX.match(line)
            if not mm or mm.group(1) != ("P" if j == 0 else "W"):
                failures.append(f"line {i + 2 + j} is not a {'P' if j == 0 else 'W'} line")
                return frames
            mats.append([as_float32(v) for v in mm.group(2).split()])
        frames.append((m.groups(), mats[0], mats[1:]))
        i += cubes + 2
    return frames


def as_float32(text):
    return struct.unpack("<f", struct.pack("<f", float(text)))[0]


def main():
    tool = sys.argv[1]

    # A short run: start, the wall, the lattice, the ring's first frames, a skipped beat.
    times = [0.0, 0.3, 0.61, 20.0, 30.0, 39.1, 39.2, 42.1, 43.3]
    result = run(tool, times)
    check(result.returncode == 0, f"exit code {result.returncode}")
    check(result.stderr == "", f"unexpected stderr: {result.stderr!r}")
    check("Beat" not in result.stdout, "beat lines leaked onto standard output")
    frames = parse(result.stdout)
    check(len(frames) == len(times), f"{len(frames)} frames for {len(times)} times")
    counts = [int(f[0][6]) for f in frames]
    check(counts == [1, 1, 1, 82, 730, 736, 736, 730 + 11, 730 + 16],
          f"cube counts {counts}")
    events = [f[0][5] for f in frames]
    check(events == ["1", "0", "1", "1", "1", "1", "0", "1", "1"], f"events {events}")
    for n, (fields, projection, worlds) in enumerate(frames):
        check(fields[0] == str(n), f"frame number {fields[0]} at position {n}")
        # %.9g round-trips: the printed time is the parsed input, as a 32-bit float.
        check(as_float32(fields[1]) == as_float32(str(times[n])), f"time of frame {n}")
        check(projection[8:] == [0, 0, -1, -1, 0, 0, as_float32("-0.02"), 0],
              f"projection tail of frame {n}")
        check(worlds[0][12:] == [0, 0, -5, 1], f"central cube of frame {n}")
    check(frames[0][1][0] == float("inf"), "the first projection has infinite scales")

    # The run ends after the frame of beat 290, like the demo; later times are not read.
    result = run(tool, [173.9, 173.99998, 174.0, 175.0, 176.0])
    frames = parse(result.stdout)
    beats = [f[0][3] for f in frames]
    check(beats == ["289", "289", "290"], f"beats near the end {beats}")

    # A line that is not a number is an error naming the line, after the frames before it.
    result = run(tool, ["1.0", "", "soon", "2.0"])
    check(result.returncode == 1, f"bad input exit code {result.returncode}")
    check("line 3" in result.stderr and result.stderr.count("\n") == 1,
          f"bad input message {result.stderr!r}")
    check(len(parse(result.stdout)) == 1, "frames before the bad line are kept")

    if failures:
        for f in failures:
            print("FAIL:", f)
        return 1
    print("trace format: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
