#!/usr/bin/env python3
"""Plays the demo on a private sound server with a null sink (PulseAudio, or PipeWire with its
PulseAudio server) and proves what is heard matches what is seen: the sink's monitor is recorded while each beat line's arrival time is taken from the
demo's standard output.

Checks:
  * the recording holds the song from its start to the end of the show, followed piece by piece
    (cross-correlation, so a server that resamples the stream is measured too), with no gap, no
    silence inserted and no piece skipped, and the server logged no underrun;
  * per beat, the picture against the sound: the line's arrival (the frame is on screen) minus the
    moment the song time that frame showed (printed in the line) left the sink. The median must
    lie within +-MEDIAN_LIMIT and the 95th percentile of the magnitude within P95_LIMIT. The line's
    arrival minus its kick is reported too: on a busy machine it adds the frame interval, the
    time until a frame first shows the new beat.

Usage: av_sync.py --exe PATH --song PATH [--server pulseaudio|pipewire] [--load N] [--seconds S]
                  [--wine] [--report FILE] [--p95-limit-ms MS] [--report-only]
Needs DISPLAY (an X server), pactl, parec, ffmpeg and numpy; pulseaudio, or pipewire,
pipewire-pulse, wireplumber and dbus-daemon with pw_monitor_record (--pw-recorder), which
dates PipeWire's recordings by the graph's cycles.
"""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

import numpy as np

from sound_lab import (BEAT_SECONDS, RATE, CycleRecorder, PipeWireServer, PulseServer,  # noqa: F401
                       Recorder, decode_song, keep_ordinary_priority, kick_frames,
                       measure_in_real_time, silent_runs, track_song)

MEDIAN_LIMIT = 0.010
P95_LIMIT = 0.040


def log(message):
    print(f"av_sync: {message}", file=sys.stderr, flush=True)


def run(args):
    measure_in_real_time()
    song = decode_song(args.song)
    folder = tempfile.mkdtemp(prefix="av_sync_")
    load = []
    recorder = None
    read_recorder = None
    demo = None
    if args.server == "pipewire":
        server = PipeWireServer(folder)
        # PipeWire runs its whole graph at the smallest latency any client asks for: a recorder
        # asking for 5 ms would change the quantum the demo gets.
        recorder_latency = "--latency=8192"
    else:
        server = PulseServer(folder)
        recorder_latency = "--latency-msec=5"
    try:
        if args.server == "pipewire":
            # Dated by the graph's cycles; parec beside it gives the read-dated figure to compare.
            recorder = CycleRecorder(server.env, args.pw_recorder, folder)
            read_recorder = Recorder(server.env, recorder_latency)
        else:
            recorder = Recorder(server.env, recorder_latency)
        time.sleep(0.5)  # the recording runs before the demo opens its stream
        for _ in range(args.load):
            load.append(subprocess.Popen(["sh", "-c", "while :; do :; done"],
                                         preexec_fn=keep_ordinary_priority))
        command = [args.exe] + (["--start", str(args.start)] if args.start else [])
        if args.wine:
            command = ["wine"] + command
        lines = []
        demo_err = open(os.path.join(folder, "demo.err"), "w+")
        demo = subprocess.Popen(command, env=server.env, cwd=args.cwd, stdout=subprocess.PIPE,
                                stderr=demo_err, bufsize=0, preexec_fn=keep_ordinary_priority)

        def read_lines():
            for data in iter(demo.stdout.readline, b""):
                lines.append((time.monotonic(), data.decode(errors="replace").strip()))

        reader = threading.Thread(target=read_lines, daemon=True)
        reader.start()
        limit = args.seconds if args.seconds else 300
        try:
            demo.wait(limit)
        except subprocess.TimeoutExpired:
            demo.send_signal(signal.SIGTERM)  # SDL turns it into a close request
        demo.wait(30)
        reader.join(5)
        time.sleep(0.5)
    finally:
        for process in load:
            process.kill()
            process.wait()
        try:
            read_recording = read_recorder.stop() if read_recorder else None
            recording = recorder.stop() if recorder else None
        finally:
            if demo and demo.poll() is None:
                demo.kill()
            server.stop()
    underruns = server.underruns()
    if os.environ.get("AV_SYNC_KEEP_LOG") and isinstance(server, PulseServer):
        shutil.copy(server.log_path, os.environ["AV_SYNC_KEEP_LOG"])
    demo_err.seek(0)
    for line in demo_err:
        if not line.startswith("ALSA lib") and "jack" not in line.lower():
            log("demo: " + line.rstrip())
    demo_err.close()
    shutil.rmtree(folder, ignore_errors=True)

    beats = {}
    for arrival, text in lines:
        parts = text.split()
        if len(parts) >= 6 and parts[1] == "Beat" and parts[2].startswith("#"):
            beats.setdefault(int(parts[2][1:]), (arrival, float(parts[5])))
    if not beats:
        raise RuntimeError("no beat line arrived")
    first_beat, last_beat = min(beats), max(beats)
    song_first = int(round(args.start * RATE))
    song_last = min(len(song), int(last_beat * BEAT_SECONDS * RATE))
    if os.environ.get("AV_SYNC_DUMP"):
        np.save(os.environ["AV_SYNC_DUMP"], recording)
    offsets, gaps, lost = track_song(recording, song, song_first, song_last)
    song_quiet = silent_runs(song, song_first, song_last)
    silences = [(at, length) for at, length in
                silent_runs(recording, song_first + offsets[0][1],
                            song_last + offsets[-1][1] - RATE // 5)
                if not any(abs(at - offsets[0][1] / RATE - q) < 0.05 for q, _ in song_quiet)]

    kicks = kick_frames(song, first_beat, last_beat)
    line_errors, picture_errors = measure_beats(beats, kicks, offsets, recorder, args.start)
    if not picture_errors:
        raise RuntimeError(f"no beat to measure: lines for beats {first_beat}-{last_beat} only")
    # From the top, the first line (beat 0, printed by the first frame) against the moment the
    # song's first sample was heard: the first frame should not come before the sound. (A late
    # start announces its beat at start-up, before the song plays.)
    first_line = None
    if not args.start:
        first_line = beats[first_beat][0] - recorder.time_of(song_first + offsets[0][1])
    line_errors = np.array(line_errors)
    errors = np.array(picture_errors)
    magnitude = np.abs(errors)
    median = float(np.median(errors))
    p95 = float(np.percentile(magnitude, 95))
    worst = float(errors[np.argmax(magnitude)])
    line_p95 = float(np.percentile(np.abs(line_errors), 95))
    read_dated = ""
    if read_recording is not None:
        # The same beats against parec's recording dated by its reads, reported beside the
        # cycles' figure, which is judged: the reads run a quantum and more behind the sink.
        try:
            read_offsets = track_song(read_recording, song, song_first, song_last)[0]
            read_errors = np.array(measure_beats(beats, kicks, read_offsets, read_recorder,
                                                 args.start)[1])
            read_figures = (float(np.median(read_errors)),
                           float(np.percentile(np.abs(read_errors), 95)))
            read_dated = (f"read-dated median {read_figures[0] * 1000:+.1f} ms, "
                          f"p95 {read_figures[1] * 1000:.1f} ms; ")
        except (RuntimeError, IndexError, ValueError):
            read_dated = "read-dated: the song not followed in parec's recording; "
    report = (f"beats {len(errors)}: picture minus sound median {median * 1000:+.1f} ms, "
              f"p95 |error| {p95 * 1000:.1f} ms, max {worst * 1000:+.1f} ms; {read_dated}"
              f"line minus kick "
              f"median {float(np.median(line_errors)) * 1000:+.1f} ms, p95 {line_p95 * 1000:.1f} ms,"
              f" max {float(line_errors.max()) * 1000:+.1f} ms; "
              + (f"first line minus start heard {first_line * 1000:+.0f} ms; "
                 if first_line is not None else "") +
              f"song {song_first / RATE:.1f}-{song_last / RATE:.1f} s, gaps {len(gaps)} "
              f"({sum(g for _, g in gaps) * 1000:.0f} ms inserted), silences {len(silences)}, "
              f"pieces not found {len(lost)}, "
              f"server underruns "
              f"{len(underruns)}; load {args.load} busy processes; {args.server}")
    print(report, flush=True)
    if args.report:
        with open(args.report, "a") as f:
            f.write(report + "\n")
    failures = []
    if abs(median) > MEDIAN_LIMIT:
        failures.append(f"median {median * 1000:+.1f} ms beyond +-{MEDIAN_LIMIT * 1000:.0f} ms")
    if p95 * 1000 > args.p95_limit_ms:
        failures.append(f"p95 {p95 * 1000:.1f} ms beyond {args.p95_limit_ms:.0f} ms")
    for at, length in gaps:
        failures.append(f"gap of {length * 1000:.1f} ms at song time {at:.2f} s")
    if lost:
        shown = ", ".join(f"{at:.1f}" for at in lost[:8]) + (", ..." if len(lost) > 8 else "")
        failures.append(f"{len(lost)} half-second pieces of the song not found in the recording,"
                        f" at song times {shown} s")
    for at, length in silences:
        failures.append(f"{length * 1000:.1f} ms of silence at recording time {at:.2f} s")
    for line in underruns[:5]:
        failures.append(f"server: {line}")
    for failure in failures:
        log(("measured, not judged: " if args.report_only else "") + failure)
    return 1 if failures and not args.report_only else 0


def measure_beats(beats, kicks, offsets, recorder, start):
    """Per beat with a kick, the line against the kick and the picture against the sound, as
    two lists of seconds, the sound dated by `recorder`."""
    line_errors = []
    picture_errors = []
    for beat, (arrival, printed) in sorted(beats.items()):
        if beat not in kicks or beat * BEAT_SECONDS < start + 0.3:
            continue  # the starting beat is announced at start-up, not on its kick
        song_frame = kicks[beat]
        offset = offsets[0][1]
        for frame, piece_offset in offsets:
            if frame <= song_frame:
                offset = piece_offset
        heard = recorder.time_of(song_frame + offset)
        # The line against the kick; and the picture against the sound: the frame that printed
        # the line showed song time `printed`, which left the sink (printed - kick) after the kick.
        line_errors.append(arrival - heard)
        picture_errors.append(arrival - heard - (printed - song_frame / RATE))
    return line_errors, picture_errors


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--song", required=True)
    parser.add_argument("--cwd", default=None, help="working folder holding resources/")
    parser.add_argument("--server", choices=["pulseaudio", "pipewire"], default="pulseaudio")
    parser.add_argument("--load", type=int, default=0, help="busy processes beside the demo")
    parser.add_argument("--seconds", type=float, default=0, help="end the run after this long")
    parser.add_argument("--start", type=float, default=0.0)
    parser.add_argument("--wine", action="store_true")
    parser.add_argument("--pw-recorder", default=None,
                        help="pw_monitor_record, which PipeWire's recordings are dated by")
    parser.add_argument("--report", default=None)
    parser.add_argument("--p95-limit-ms", type=float, default=P95_LIMIT * 1000,
                        help="limit on the 95th percentile of |picture - sound|")
    parser.add_argument("--report-only", action="store_true",
                        help="measure and report, failing only when nothing could be measured")
    args = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        log("DISPLAY is not set: run under an X server (Xvfb)")
        return 1
    try:
        return run(args)
    except RuntimeError as error:
        log(str(error))
        return 1


if __name__ == "__main__":
    sys.exit(main())
