#!/usr/bin/env python3
"""The entry procedure on the null window and backend (zephyrine-null): start-up failures at every
step release what was made in the order of shutdown, a close before the first frame draws nothing,
a late start replays to its beat, and --loop starts the show over. No display, GPU or sound server
is needed.

usage: null_run_test.py --exe PATH --resources DIR
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

BEAT = re.compile(r"\?\? Beat #(\d+) at time [0-9.e+-]+ sec$")
OPEN = ["CreatePresentationWindow 1280x720", "CreateRenderDevice", "LoadSceneResources",
        "BuildShaderProgram"]
CLOSE = ["ReleaseShaderProgram", "ReleaseSceneResources", "ReleaseRenderDevice",
         "DestroyPresentationWindow"]
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL: " + message)
    return condition


def run(exe, folder, args, env_extra, timeout=60):
    log = os.path.join(folder, "null.log")
    if os.path.exists(log):
        os.remove(log)
    env = dict(os.environ, TC_NULL_LOG=log, **env_extra)
    env.pop("DISPLAY", None)
    done = subprocess.run([exe, "--mute"] + args, cwd=folder, env=env, capture_output=True,
                          text=True, timeout=timeout)
    calls = []
    if os.path.exists(log):  # a window that fails to open leaves no line at all
        with open(log) as f:
            # Counters vary from run to run; the order of the calls is what is judged.
            calls = [line.split(" frames=")[0] for line in f.read().splitlines()]
    ours = [line for line in done.stderr.splitlines()
            if re.match(r"(CreatePresentationWindow|CreateRenderDevice|LoadSceneResources|"
                        r"BuildShaderProgram|StartMusic|zephyrine):", line)]
    return done, calls, ours


def test_failed_steps(exe, folder):
    # A step that fails: what the steps before it made is released, last made first; one line of
    # ours names the step; nothing reaches standard output. A scene load that fails late still
    # holds what it loaded, as on a real backend, and releases it.
    expected = {
        "CreatePresentationWindow": [],
        "CreateRenderDevice": OPEN[:1] + CLOSE[3:],
        "LoadSceneResources": OPEN[:3] + CLOSE[1:],
        "BuildShaderProgram": OPEN[:3] + CLOSE[1:],
    }
    for verb, calls_wanted in expected.items():
        done, calls, ours = run(exe, folder, [], {"TC_NULL_FAIL": verb})
        check(done.returncode == 1, f"{verb} failing: exit code {done.returncode}")
        check(done.stdout == "", f"{verb} failing: standard output {done.stdout!r}")
        check(len(ours) == 1 and ours[0].startswith(verb + ":"), f"{verb} failing: lines {ours}")
        check(calls == calls_wanted, f"{verb} failing: calls {calls}")


def test_failed_music(exe, folder):
    song = os.path.join(folder, "resources", "audio.mp3")
    os.rename(song, song + ".away")
    try:
        done, calls, ours = run(exe, folder, [], {})
    finally:
        os.rename(song + ".away", song)
    check(done.returncode == 1, f"no song: exit code {done.returncode}")
    check(len(ours) == 1 and ours[0].startswith("StartMusic:") and "audio.mp3" in ours[0],
          f"no song: lines {ours}")
    check(calls == OPEN + CLOSE, f"no song: calls {calls}")


def test_close_before_first_frame(exe, folder):
    done, calls, _ = run(exe, folder, [], {"TC_NULL_QUIT_AFTER_PUMPS": "1"})
    check(done.returncode == 0, f"early close: exit code {done.returncode}")
    check(done.stdout == "", f"early close: beat lines {done.stdout!r}")
    check(calls == OPEN + CLOSE, f"early close: calls {calls}")
    with open(os.path.join(folder, "null.log")) as f:
        check("ReleaseRenderDevice frames=0 draws=0" in f.read(), "early close: a frame was drawn")


def test_late_start(exe, folder):
    # The replayed run's line for the beat in progress comes first, then the beats that follow.
    done, calls, _ = run(exe, folder, ["--start", "100"], {"TC_NULL_QUIT_AFTER_MS": "5000"})
    lines = done.stdout.splitlines()
    check(done.returncode == 0, f"--start 100: exit code {done.returncode}")
    check(lines[:1] == ["?? Beat #166 at time 99.6167 sec"], f"--start 100: first lines {lines[:2]}")
    beats = [int(BEAT.match(line).group(1)) for line in lines if BEAT.match(line)]
    check(beats[:3] == [166, 167, 168], f"--start 100: beats {beats}")


def test_times_that_are_not_times(exe, folder):
    # Refused before anything opens, in one line naming the option; "-0" is the start itself.
    for value in ("inf", "nan", "1e300", "0x10", "", " 5", "5 "):
        done, calls, _ = run(exe, folder, ["--start", value], {}, timeout=10)
        lines = done.stderr.splitlines()
        check(done.returncode == 2, f"--start {value!r}: exit code {done.returncode}")
        check(len(lines) == 1 and lines[0].startswith("zephyrine-null: option --start: "),
              f"--start {value!r}: stderr {done.stderr!r}")
        check(calls == [] and done.stdout == "", f"--start {value!r}: ran {calls} {done.stdout!r}")
    done, calls, _ = run(exe, folder, ["--start", "-0"], {"TC_NULL_QUIT_AFTER_PUMPS": "1"})
    check(done.returncode == 0 and calls == OPEN + CLOSE,
          f"--start -0: exit code {done.returncode}, calls {calls}")


def test_missing_display(exe, folder):
    # A display the machine does not have fails start-up (1), like no display at all; the command
    # line itself was well formed.
    done, calls, _ = run(exe, folder, ["--display", "1"], {}, timeout=10)
    lines = done.stderr.splitlines()
    check(done.returncode == 1, f"--display 1: exit code {done.returncode}")
    check(len(lines) == 1 and "--display" in lines[0], f"--display 1: stderr {done.stderr!r}")
    check(calls == [], f"--display 1: calls {calls}")


def test_failed_uploads_are_reported(exe, folder):
    # Every cube's upload fails: the show still plays, and says so in one line when it ends.
    done, calls, _ = run(exe, folder, [], {"TC_NULL_FAIL": "DrawCube",
                                           "TC_NULL_QUIT_AFTER_MS": "1500"})
    lines = [line for line in done.stderr.splitlines() if "DrawCube" in line]
    check(done.returncode == 0, f"failed uploads: exit code {done.returncode}")
    check(len(lines) == 1 and lines[0].startswith("zephyrine-null: DrawCube: "),
          f"failed uploads: stderr {done.stderr!r}")
    check(calls == OPEN + CLOSE, f"failed uploads: calls {calls}")


def test_loop_restarts_the_show(exe, folder):
    # From 172 s the timeline ends (beat 290, at 174 s) two seconds into the run; the run then goes
    # on from the top until the close request.
    done, calls, _ = run(exe, folder, ["--start", "172", "--loop"],
                         {"TC_NULL_QUIT_AFTER_MS": "6000"})
    beats = [int(BEAT.match(line).group(1)) for line in done.stdout.splitlines()
             if BEAT.match(line)]
    check(done.returncode == 0, f"loop: exit code {done.returncode}")
    check(0 in beats, f"loop: no restart in {beats}")
    if 0 in beats:
        restart = beats.index(0)
        check(beats[:restart] == list(range(286, 291)), f"loop: first pass {beats[:restart]}")
        check(beats[restart:] == list(range(len(beats) - restart)),
              f"loop: second pass {beats[restart:]}")
    # Texture 0 bound by the entry procedure twice: after the late start's replay and at the
    # restart; everything released once, at the end.
    check(calls == OPEN + ["BindCubeTexture 0", "BindCubeTexture 0"] + CLOSE, f"loop: calls {calls}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--resources", required=True)
    args = parser.parse_args()
    folder = tempfile.mkdtemp(prefix="tc-null-")
    try:
        shutil.copytree(args.resources, os.path.join(folder, "resources"))
        for test in (test_failed_steps, test_failed_music, test_close_before_first_frame,
                     test_late_start, test_loop_restarts_the_show, test_times_that_are_not_times,
                     test_missing_display, test_failed_uploads_are_reported):
            test(os.path.abspath(args.exe), folder)
    finally:
        shutil.rmtree(folder)
    print("all checks passed" if not failures else f"{len(failures)} checks failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
