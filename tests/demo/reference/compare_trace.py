#!/usr/bin/env python3
"""Runs sequences of song times through the C++ trace tool and through the
independent Python model (choreography_reference.py) and requires the two
traces to be identical, line for line and digit for digit.

Usage: compare_trace.py <path to zephyrine-trace> [sequence-name ...]

Each sequence is one fresh run of both programs (each a fresh process, so
both start the C library's unseeded rand() sequence from the beginning).
Exit status 0 when every trace matches, 1 otherwise; on a mismatch the
first differing line is shown with its frame, the frame's input time and
the lines before it.
"""

import os
import random
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REFERENCE = os.path.join(HERE, "choreography_reference.py")

BEAT = 0.6
FPS = 60.0


def beat_start(b):
    return b * BEAT


# --------------------------------------------------------------------------
# Sequences.  Each returns a list of time strings, one per frame.  The
# heavy part of a frame is the ring (up to 1131 cubes) and the lattice (729
# cubes); sequences keep the number of such frames small enough for the
# whole comparison to stay well under a minute.

def fmt_time(t, digits=6):
    return "%.*f" % (digits, t)


def plain_run(rng):
    """A 60 fps run over the whole song with small random frame-time
    jitter: sampled every few tenths of a second (random spacing), and
    every single frame around the beats where something switches on or
    off, up to and past the end of the run."""
    # first beats of: beat 1, wall, lattice, ring, no lattice, ring wobble,
    # lattice again, lattice wobble, beat 163, no lattice, end of the run
    switches = [1, 32, 48, 65, 80, 128, 161, 162, 163, 183, 290]
    dense = [(beat_start(b) - 0.09, beat_start(b) + 0.09) for b in switches]
    frames = []
    n = 0
    last_n = int(175.5 * FPS)
    while n <= last_n:
        base = n / FPS
        t = base + rng.uniform(-0.002, 0.002)
        frames.append(fmt_time(max(t, 0.0) if n == 0 else t))
        in_dense = any(lo <= base <= hi for lo, hi in dense)
        if in_dense:
            n += 1
        elif base < 39.0:
            n += rng.randint(12, 30)          # light frames: ~0.2-0.5 s apart
        else:
            n += rng.randint(30, 60)          # ring frames: ~0.5-1 s apart
    return frames


def every_beat(rng):
    """One frame in every beat, so the ring takes every row of the table
    in order and grows to its full 1131 cubes on the last frame; a few
    beats get a second frame, which drifts without loading."""
    frames = []
    for b in range(0, 292):
        frames.append(fmt_time(beat_start(b) + rng.uniform(0.01, 0.59)))
        if b in (65, 66, 100, 128, 200, 288):
            frames.append(fmt_time(beat_start(b) + 0.595))
    return frames


def skipped_and_repeated(rng):
    """Frames far apart (beats skipped: one event, one row), repeated
    times (no second event), and pairs of rows that are equal in the
    table (a reload still resets the drift)."""
    return ["0", "0", "0", "0.6", "0.6", "3.0", "3.0", "3.01", "19.3", "19.3",
            "29", "29", "40.0", "41.5", "41.5", "42.0", "43.2", "43.2",
            "42.9",                         # backwards inside the ring window
            "42.0", "42.6", "43.21", "45.0", "45.6",
            "53.4", "54.0", "54.0",          # rows 5 and 6 (equal rows)
            "76.79", "76.8", "76.8", "90", "96.6", "97.2", "97.19", "109.79",
            "109.8", "130", "173.99998", "173.99998", "174.0"]


def edge_times(rng):
    """Beat and second boundaries: t = 0, 0.59, 0.6, 1.8 (just below as a
    float), times around even whole seconds (texture flicker), and the
    last beat just before and at 174 s."""
    times = ["0", "0.59", "0.6", "1.8", "1.7999999", "1.8000001",
             "1.9999999", "2", "2.0000002", "2.9999998", "3", "3.0000002",
             "3.9999998", "4", "4.0000005", "4.5", "5.9999995", "6",
             "18.599998", "18.6", "19.199999", "19.2", "19.200001",
             "28.799999", "28.8", "30.000002", "31.999998", "32",
             "38.999996", "39", "39.000004", "47.999996", "48", "48.000004",
             "76.79999", "76.8", "96.59999", "96.6", "97.19999", "97.2",
             "109.79999", "109.8", "173.99998", "173.99998", "173.99998",
             "174.0", "175", "1"]
    return times


def negative_times(rng):
    """Negative song times: beats below -1 fire no event (the projection
    stays all zero), -0 is a new beat, texture parity truncates toward
    zero."""
    return ["-1.5", "-0.3", "-2.0", "-2.5", "-3.5", "-0.0", "0", "-0.5",
            "-0.000001", "0.6", "-4", "-1e-30", "1.2", "-1.2", "2.4"]


def frozen_clock(rng):
    """The song clock stops (song shorter than the timeline): the same
    time frame after frame, fresh jitter each time, no new events; the
    ring drifts on every frame."""
    return ["0"] * 25 + ["12.3"] * 25 + ["40.0"] * 30 + ["29.0"] * 4 + ["60.5"] * 6


def past_the_end(rng):
    """Times beyond the end: the run stops after the first frame whose
    beat exceeds 289 and reads no further line."""
    return ["10", "39.1", "40.0", "200", "1", "2", "3"]


def huge_end(rng):
    """Extreme final frames: a time so large that spin angles overflow to
    infinity and matrices fill with NaN; infinity itself."""
    return ["80", "99.5", "3e38", "5"]


def infinite_end(rng):
    return ["10", "80", "170", "inf", "1"]


def random_sequence(seed):
    def make(_rng):
        rng = random.Random(seed)
        t = rng.uniform(-1.0, 20.0)
        frames = []
        heavy = 0
        while len(frames) < 60 and heavy < 12:
            frames.append(fmt_time(t, rng.choice([1, 3, 5, 7, 9])))
            if t >= 28.8:
                heavy += 1
            r = rng.random()
            if r < 0.35:
                t += 1.0 / FPS + rng.uniform(-0.003, 0.003)
            elif r < 0.45:
                pass                                  # repeated time
            elif r < 0.75:
                t += rng.uniform(0.1, 2.0)
            elif r < 0.88:
                t -= rng.uniform(0.0, 6.0)            # clock jumps back
            else:
                t += rng.uniform(5.0, 40.0)           # big jump, beats skipped
        return frames
    return make


SEQUENCES = [
    ("plain_60fps_run", plain_run),
    ("every_beat", every_beat),
    ("skipped_and_repeated", skipped_and_repeated),
    ("edge_times", edge_times),
    ("negative_times", negative_times),
    ("frozen_clock", frozen_clock),
    ("past_the_end", past_the_end),
    ("huge_end", huge_end),
    ("infinite_end", infinite_end),
] + [("random_%d" % s, random_sequence(s)) for s in (11, 23, 37, 58, 71)]


# --------------------------------------------------------------------------
# Running and comparing

def run_both(tool, times):
    """Runs the tool and the reference on the same input, concurrently;
    returns (tool result, reference result) as (returncode, stdout, stderr)."""
    with tempfile.TemporaryDirectory() as tmp:
        inp = os.path.join(tmp, "times.txt")
        with open(inp, "w") as f:
            f.write("\n".join(times) + "\n")
        procs = []
        for name, cmd in (("tool", [tool]), ("reference", [sys.executable, REFERENCE])):
            out = open(os.path.join(tmp, name + ".out"), "w+b")
            err = open(os.path.join(tmp, name + ".err"), "w+b")
            with open(inp, "rb") as stdin:
                procs.append((subprocess.Popen(cmd, stdin=stdin, stdout=out, stderr=err), out, err))
        results = []
        for proc, out, err in procs:
            code = proc.wait()
            out.seek(0)
            err.seek(0)
            results.append((code, out.read().decode("ascii", "replace"),
                            err.read().decode("ascii", "replace")))
            out.close()
            err.close()
    return results[0], results[1]


def describe_mismatch(name, times, expected, got):
    """Text locating the first differing line of two traces."""
    exp_lines = expected.split("\n")
    got_lines = got.split("\n")
    n = min(len(exp_lines), len(got_lines))
    idx = next((i for i in range(n) if exp_lines[i] != got_lines[i]), n)
    frame_line = None
    for k in range(idx, -1, -1):
        line = exp_lines[k] if k < len(exp_lines) else ""
        if line.startswith("frame "):
            frame_line = k
            break
    msg = ["MISMATCH in sequence '%s' at output line %d" % (name, idx + 1)]
    if frame_line is not None:
        frame_no = int(exp_lines[frame_line].split()[1])
        msg.append("  frame %d, input time %r (input frames: ...%s)" % (
            frame_no, times[frame_no] if frame_no < len(times) else None,
            ", ".join(times[max(0, frame_no - 3):frame_no + 2])))
        msg.append("  cube %s of that frame" % (
            "-" if idx <= frame_line + 1 else idx - frame_line - 2))
    for k in range(max(0, idx - 3), idx):
        msg.append("    context: %s" % exp_lines[k][:200])
    e = exp_lines[idx] if idx < len(exp_lines) else "<end of reference trace>"
    g = got_lines[idx] if idx < len(got_lines) else "<end of tool trace>"
    msg.append("  expected (reference): %s" % e)
    msg.append("  got (tool):           %s" % g)
    ef, gf = e.split(), g.split()
    fields = [i for i in range(max(len(ef), len(gf)))
              if (ef[i] if i < len(ef) else None) != (gf[i] if i < len(gf) else None)]
    if fields:
        msg.append("  differing fields (0-based, after the tag): %s" % [
            "%d: %s vs %s" % (i - 1, ef[i] if i < len(ef) else "-", gf[i] if i < len(gf) else "-")
            for i in fields[:6]])
    return "\n".join(msg)


def anchor_checks(tool):
    """A few known values, checked directly on the tool's own trace so that
    a fault shared by both programs cannot hide: projection scales at
    beat 1 and beat 65, and the first ring frame's cubes 0 and 1."""
    times = ["0", "0.6", "39.0"]
    (code, out, err), _ = run_both(tool, times)
    lines = out.split("\n")
    problems = []

    def near(value, want, tol):
        return abs(value - want) <= tol

    try:
        frames = [i for i, l in enumerate(lines) if l.startswith("frame ")]
        p1 = [float(v) for v in lines[frames[1] + 1].split()[1:]]
        if not (near(p1[5], 10.3196, 1e-3) and near(p1[0], 5.8048, 1e-3)):
            problems.append("projection at t=0.6: ys %g xs %g" % (p1[5], p1[0]))
        p65 = [float(v) for v in lines[frames[2] + 1].split()[1:]]
        if not near(p65[5], -243.2, 0.1):
            problems.append("projection at t=39: ys %g" % p65[5])
        header = lines[frames[2]].split()
        if header[-1] != str(1 + 729 + 6):
            problems.append("first ring frame has %s cubes, want 736" % header[-1])
        ring0 = [float(v) for v in lines[frames[2] + 2 + 730].split()[1:]]
        ring1 = [float(v) for v in lines[frames[2] + 2 + 731].split()[1:]]
        if not (near(ring0[12], 0.7168, 1e-3) and near(ring0[13], 0, 1e-6) and ring0[14] == -15):
            problems.append("first ring cube at %s" % ring0[12:15])
        if not (near(ring1[12], -0.511, 1e-3) and near(ring1[13], 0.271, 1e-3)):
            problems.append("second ring cube at %s" % ring1[12:15])
    except (IndexError, ValueError) as exc:
        problems.append("unreadable trace (%s)" % exc)
    return problems


def main(argv):
    if len(argv) < 2:
        print("usage: compare_trace.py <zephyrine-trace> [sequence ...]", file=sys.stderr)
        return 2
    tool = argv[1]
    wanted = set(argv[2:])
    started = time.time()
    failures = 0

    problems = anchor_checks(tool)
    if problems:
        failures += 1
        print("FAIL known values in the tool's trace: " + "; ".join(problems))

    for name, make in SEQUENCES:
        if wanted and name not in wanted:
            continue
        t0 = time.time()
        times = make(random.Random(name))
        (tcode, tout, terr), (rcode, rout, rerr) = run_both(tool, times)
        if rcode != 0:
            failures += 1
            print("FAIL %s: reference exited %d\n%s" % (name, rcode, rerr[-2000:]))
            continue
        if tcode != 0:
            failures += 1
            print("FAIL %s: tool exited %d\n%s" % (name, tcode, terr[-2000:]))
            continue
        if tout != rout:
            failures += 1
            print("FAIL " + describe_mismatch(name, times, rout, tout))
            continue
        frames = rout.count("frame ")
        print("ok   %-22s %4d input times, %4d frames, %7d lines  (%.1f s)" % (
            name, len(times), frames, rout.count("\n"), time.time() - t0))

    print("%s in %.1f s" % ("PASS" if not failures else "FAIL (%d)" % failures,
                            time.time() - started))
    return 0 if failures == 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
