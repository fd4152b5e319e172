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
pipewire-pulse, wireplumber and dbus-daemon.
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

RATE = 44100
BEAT_SECONDS = 0.6
MEDIAN_LIMIT = 0.010
P95_LIMIT = 0.040
BLOCK = 441  # 10 ms: the shortest silence that counts as a dropout
# How far past a lost piece the song is looked for: Wine's output has stalled for over a second
# on a busy machine.
STALL_SEARCH_SECONDS = 10
# The score a half-second piece needs to be placed. In place it scores 0.99 or more, resampled or
# not; a beat or a bar away, where the song sounds much the same, up to 0.984.
PLACED = 0.988


def log(message):
    print(f"av_sync: {message}", file=sys.stderr, flush=True)


class PulseServer:
    """A private PulseAudio daemon: its own runtime folder and socket, a null sink 'rec'."""

    def __init__(self, folder):
        self.folder = folder
        self.log_path = os.path.join(folder, "pulse.log")
        self.socket = os.path.join(folder, "pulse.sock")
        self.env = dict(os.environ)
        self.env.update(XDG_RUNTIME_DIR=folder, PULSE_RUNTIME_PATH=os.path.join(folder, "pulse"),
                        PULSE_SERVER="unix:" + self.socket)
        self.env.pop("PULSE_SINK", None)
        self.process = subprocess.Popen(
            ["pulseaudio", "-n", "--daemonize=no", "--system=false", "--exit-idle-time=-1",
             "--disallow-exit", "--use-pid-file=no", "--log-level=debug", "--log-time=1",
             "--log-target=file:" + self.log_path,
             "-L", f"module-native-protocol-unix auth-anonymous=1 socket={self.socket}",
             "-L", f"module-null-sink sink_name=rec rate={RATE} channels=2"],
            env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=keep_ordinary_priority)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            if subprocess.run(["pactl", "info"], env=self.env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0:
                return
            time.sleep(0.1)
        self.stop()
        raise RuntimeError("the private PulseAudio server did not start")

    def underruns(self):
        with open(self.log_path, errors="replace") as f:
            return [line.rstrip() for line in f if "underrun" in line.lower() and
                    "end of underrun" not in line]

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


PIPEWIRE_CONF = """context.properties = {
    core.daemon = true
    core.name = pipewire-0
    default.clock.rate = %(rate)d
    default.clock.allowed-rates = [ %(rate)d ]
}
context.spa-libs = {
    audio.convert.* = audioconvert/libspa-audioconvert
    support.* = support/libspa-support
}
context.modules = [
    { name = libpipewire-module-rt args = { nice.level = -11 } flags = [ ifexists nofail ] }
    { name = libpipewire-module-protocol-native }
    { name = libpipewire-module-profiler }
    { name = libpipewire-module-metadata }
    { name = libpipewire-module-spa-device-factory }
    { name = libpipewire-module-spa-node-factory }
    { name = libpipewire-module-client-node }
    { name = libpipewire-module-client-device }
    { name = libpipewire-module-access args = { } }
    { name = libpipewire-module-adapter }
    { name = libpipewire-module-link-factory }
    { name = libpipewire-module-session-manager }
]
context.objects = [
    { factory = spa-node-factory
      args = { factory.name = support.node.driver node.name = Dummy-Driver
               node.group = pipewire.dummy priority.driver = 20000 } }
    { factory = spa-node-factory
      args = { factory.name = support.node.driver node.name = Freewheel-Driver
               priority.driver = 19000 node.group = pipewire.freewheel node.freewheel = true } }
    { factory = adapter
      args = { factory.name = support.null-audio-sink node.name = rec media.class = Audio/Sink
               audio.rate = %(rate)d audio.channels = 2 audio.position = [ FL FR ]
               object.linger = true } }
]
"""

DBUS_CONF = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=%(socket)s</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""


class PipeWireServer:
    """A private PipeWire with WirePlumber and its PulseAudio server, on a private session bus:
    no hardware, no desktop; a null sink 'rec' at the song's rate. Underruns are what
    pipewire-pulse logs as UNDERFLOW and pipewire as 'client too slow'."""

    def __init__(self, folder):
        self.folder = folder
        self.processes = []
        self.logs = []
        home = os.path.join(folder, "home")
        config = os.path.join(folder, "config")
        for sub in (home, config, os.path.join(folder, "state"),
                    os.path.join(config, "wireplumber", "main.lua.d"),
                    os.path.join(config, "wireplumber", "bluetooth.lua.d")):
            os.makedirs(sub, exist_ok=True)
        # No device monitors: the null sink is the only output.
        with open(os.path.join(config, "wireplumber", "main.lua.d", "51-no-devices.lua"), "w") as f:
            f.write("alsa_monitor.enabled = false\nv4l2_monitor.enabled = false\n"
                    "libcamera_monitor.enabled = false\n")
        with open(os.path.join(config, "wireplumber", "bluetooth.lua.d", "51-no-devices.lua"),
                  "w") as f:
            f.write("bluez_monitor.enabled = false\n")
        conf = os.path.join(folder, "pipewire.conf")
        with open(conf, "w") as f:
            f.write(PIPEWIRE_CONF % {"rate": RATE})
        bus = os.path.join(folder, "bus")
        with open(os.path.join(folder, "dbus.conf"), "w") as f:
            f.write(DBUS_CONF % {"socket": bus})
        self.env = dict(os.environ)
        self.env.update(XDG_RUNTIME_DIR=folder, HOME=home, XDG_CONFIG_HOME=config,
                        XDG_STATE_HOME=os.path.join(folder, "state"),
                        DBUS_SESSION_BUS_ADDRESS="unix:path=" + bus,
                        PULSE_SERVER="unix:" + os.path.join(folder, "pulse", "native"),
                        PIPEWIRE_DEBUG="3")
        for key in ("PULSE_SINK", "PULSE_RUNTIME_PATH", "PIPEWIRE_REMOTE"):
            self.env.pop(key, None)
        try:
            self._start(["dbus-daemon", "--config-file=" + os.path.join(folder, "dbus.conf"),
                         "--nofork", "--nopidfile"], "dbus")
            self._wait(lambda: os.path.exists(bus), "the private session bus")
            self._start(["pipewire", "-c", conf], "pipewire")
            self._wait(lambda: os.path.exists(os.path.join(folder, "pipewire-0")), "pipewire")
            self._start(["wireplumber"], "wireplumber")
            self._start(["pipewire-pulse"], "pipewire-pulse")
            self._wait(lambda: self._pactl("info"), "pipewire-pulse")
            self._wait(lambda: self._pactl("set-default-sink", "rec"), "the null sink")
        except RuntimeError:
            self.stop()
            raise

    def _start(self, command, name):
        path = os.path.join(self.folder, name + ".log")
        log_file = open(path, "w")
        self.logs.append(path)
        self.processes.append(subprocess.Popen(command, env=self.env, stdout=log_file,
                                               stderr=subprocess.STDOUT,
                                               preexec_fn=keep_ordinary_priority))
        log_file.close()

    def _pactl(self, *args):
        return subprocess.run(["pactl"] + list(args), env=self.env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0

    def _wait(self, ready, what):
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline:
            if ready():
                return
            time.sleep(0.1)
        raise RuntimeError(f"{what} did not start")

    def underruns(self):
        found = []
        for path in self.logs:
            with open(path, errors="replace") as f:
                # The recorder's own lateness is not the demo's.
                found += [line.rstrip() for line in f
                          if ("UNDERFLOW" in line or "client too slow" in line) and
                          "parec" not in line]
        return found

    def stop(self):
        # The last started first: the servers before their session bus.
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()


class Recorder:
    """parec on the sink's monitor; every chunk's arrival is timed, so that sample i of the
    recording maps to the monotonic time at which it left the sink. The sink's own clock is not
    the monotonic one (PulseAudio's null sink runs about 200 ppm fast: 35 ms over the song), so the
    mapping is a line fitted to the earliest arrivals rather than exactly RATE samples a second."""

    BUCKET = 2.0  # seconds of arrivals per point of the fit

    def __init__(self, env, latency):
        self.process = subprocess.Popen(
            ["parec", "-d", "rec.monitor", "--format=s16le", f"--rate={RATE}", "--channels=2",
             latency, "--raw"],
            env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, bufsize=0)
        self.chunks = []
        self.arrivals = []  # (monotonic time, frames received so far)
        self.origin = None  # monotonic time of sample 0
        self.seconds_per_frame = 1.0 / RATE
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        frames = 0
        while True:
            data = self.process.stdout.read(65536)
            now = time.monotonic()
            if not data:
                break
            self.chunks.append(data)
            frames += len(data) // 4
            self.arrivals.append((now, frames))

    def _fit(self):
        """A sample cannot arrive before it has left the sink: per bucket of arrivals the earliest
        bound is the best; a line through those, lowered onto the earliest of all."""
        if not self.arrivals:
            return
        log = np.array(self.arrivals, dtype=np.float64)
        now, frames = log[:, 0], log[:, 1]
        bound = now - frames / RATE
        points = []
        start = now[0]
        while start < now[-1]:
            inside = np.nonzero((now >= start) & (now < start + self.BUCKET))[0]
            if len(inside):
                best = inside[np.argmin(bound[inside])]
                points.append((frames[best], now[best]))
            start += self.BUCKET
        if len(points) >= 4:
            x, y = np.array(points).T
            slope, _ = np.polyfit(x, y, 1)
            self.seconds_per_frame = float(slope)
        self.origin = float(np.min(now - frames * self.seconds_per_frame))

    def time_of(self, frame):
        """The monotonic time at which recording frame `frame` left the sink."""
        return self.origin + frame * self.seconds_per_frame

    def stop(self):
        self.process.terminate()
        self.thread.join(10)
        self.process.wait()
        self._fit()
        data = b"".join(self.chunks)
        samples = np.frombuffer(data[: len(data) // 4 * 4], dtype="<i2").reshape(-1, 2)
        return samples.astype(np.int32)


def decode_song(path):
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-f", "s16le", "-ac", "2", "-ar",
                          str(RATE), "-"], check=True, stdout=subprocess.PIPE).stdout
    return np.frombuffer(raw, dtype="<i2").reshape(-1, 2).astype(np.int32)


def match_scores(reference, recording, lo, hi):
    """The normalised correlation of `reference` with `recording` at every lag in [lo, hi), by
    FFT over the mono signals, as (lo, scores); (lo, None) when the range holds no lag. Works
    where the server resampled the stream too, when the samples are no longer identical."""
    n = len(reference)
    lo = max(lo, 0)
    hi = min(hi, len(recording) - n)
    if hi <= lo:
        return lo, None
    segment = recording[lo: hi + n]
    size = 1 << int(np.ceil(np.log2(len(segment) + n)))
    spectrum = np.fft.rfft(segment, size) * np.conj(np.fft.rfft(reference, size))
    correlation = np.fft.irfft(spectrum, size)[: hi - lo]
    # Normalised at every lag by the energy of the recording under the piece, so a loud passage
    # does not outscore the matching one.
    squares = np.concatenate([[0.0], np.cumsum(segment * segment)])
    local = squares[n: n + hi - lo] - squares[: hi - lo]
    return lo, correlation / np.sqrt(np.maximum(local, 1e-9) * np.dot(reference, reference))


def best_lag(reference, recording, lo, hi):
    """The lag in [lo, hi) at which `recording` best matches `reference`, with its score. The song
    repeats whole bars, so several lags may match as well: the earliest of the best is taken."""
    lo, score = match_scores(reference, recording, lo, hi)
    if score is None:
        return None, 0.0
    # The first stretch of lags that match well; the best lag inside it.
    good = np.nonzero(score >= min(0.95, float(score.max())))[0]
    first = good[0]
    end = first
    while end + 1 < len(score) and score[end + 1] >= 0.95:
        end += 1
    lag = first + int(np.argmax(score[first: end + 1]))
    return lo + lag, float(score[lag])


def match_candidates(reference, recording, lo, hi, threshold):
    """Every place in [lo, hi) where `reference` matches with at least `threshold`: the best lag
    of each stretch of such lags, as (lag, score), in order."""
    lo, score = match_scores(reference, recording, lo, hi)
    if score is None:
        return []
    good = score >= threshold
    edges = np.diff(np.concatenate([[0], good.astype(np.int8), [0]]))
    return [(lo + a + int(np.argmax(score[a:b])), float(score[a:b].max()))
            for a, b in zip(np.nonzero(edges == 1)[0], np.nonzero(edges == -1)[0])]


def place_after_gap(reference, rec, zeros, expected, placed_end):
    """Where the song goes on after a gap, `expected` being its place had there been none and
    `placed_end` the end of the last piece placed. A later match counts only where the recording
    between holds the silence it implies: an underrun inserts zeros; a piece placed a beat on
    would leave song there. Failing that, the nearest earlier match: a stretch dropped."""
    later = match_candidates(reference, rec, expected - RATE // 20,
                             expected + STALL_SEARCH_SECONDS * RATE, PLACED)
    for lag, score in later:
        inserted = lag - expected
        silence = zeros[lag] - zeros[min(placed_end, lag)]
        if inserted <= RATE // 200 or silence >= 0.9 * inserted - RATE // 100:
            return lag, score
    earlier = match_candidates(reference, rec, expected - 2 * RATE, expected - RATE // 20, PLACED)
    return earlier[-1] if earlier else (None, 0.0)


def mono(samples):
    return samples.sum(axis=1).astype(np.float64)


def track_song(recording, song, song_first, song_last):
    """Follows the song through the recording in half-second pieces. Returns the recording offset
    (recording frame minus song frame) per piece; the gaps: places where the offset grows
    (silence or other sound inserted) or shrinks (song skipped); and the song times of pieces
    found nowhere (the song garbled, or a stall longer than the search reaches)."""
    rec = mono(recording)
    ref = mono(song)
    piece = RATE // 2
    sound_rec = np.nonzero(rec)[0]
    sound_song = np.nonzero(ref[song_first:])[0]
    if len(sound_rec) == 0 or len(sound_song) == 0:
        raise RuntimeError("the recording is silent")
    guess = int(sound_rec[0]) - (song_first + int(sound_song[0]))
    zeros = np.concatenate([[0], np.cumsum(rec == 0)])
    placed_end = 0
    offsets = []
    gaps = []
    lost = []
    offset = None
    straddled = False
    for frame in range(song_first, song_last - piece, piece):
        reference = ref[frame: frame + piece]
        if np.abs(reference).max() < 1000:
            continue  # too quiet to place
        if offset is None:
            # The recording starts before the song: the earliest match is the song's place.
            at, score = best_lag(reference, rec, 0, frame + guess + RATE)
        else:
            # Where it was, give or take a few milliseconds; failing that, further on (a gap).
            at, score = best_lag(reference, rec, frame + offset - RATE // 200,
                                 frame + offset + RATE // 200)
            if at is None or score < PLACED:
                # A piece straddling a gap matches nowhere in full: the next piece is placed.
                if not straddled:
                    straddled = True
                    continue
                at, score = place_after_gap(reference, rec, zeros, frame + offset, placed_end)
        straddled = False
        if at is None or score < PLACED:
            lost.append(frame / RATE)
            continue
        new_offset = at - frame
        if offset is not None and abs(new_offset - offset) > RATE // 1000:
            gaps.append((frame / RATE, (new_offset - offset) / RATE))
        offset = new_offset
        offsets.append((frame, offset))
        placed_end = at + piece
    if not offsets:
        raise RuntimeError("no part of the song found in the recording")
    return offsets, gaps, lost


def silent_runs(recording, start, end):
    """Runs of digital silence longer than one 10 ms block between recording frames start and end:
    what an underrun inserts."""
    quiet = (np.abs(recording[start:end]).sum(axis=1) == 0).astype(np.int8)
    edges = np.diff(np.concatenate([[0], quiet, [0]]))
    runs = zip(np.nonzero(edges == 1)[0], np.nonzero(edges == -1)[0])
    # The song's first moments are near-silent and may round to zeros: not a dropout.
    return [((start + a) / RATE, (b - a) / RATE) for a, b in runs
            if b - a > BLOCK and a > RATE // 10]


def kick_frames(song, first_beat, last_beat):
    """Per beat, the first sample of its kick: the onset within 50 ms around k * 0.6 s where the
    short-term energy first rises above half its peak, kept when it lies within 2 ms of the grid."""
    mono = np.abs(song[:, 0]) + np.abs(song[:, 1])
    kicks = {}
    for beat in range(first_beat, last_beat + 1):
        centre = int(round(beat * BEAT_SECONDS * RATE))
        lo, hi = max(0, centre - RATE // 20), min(len(mono), centre + RATE // 20)
        window = mono[lo:hi].astype(np.float64)
        if len(window) < 64:
            continue
        smooth = np.convolve(window, np.ones(32) / 32, mode="same")
        before = smooth[: RATE // 40].mean() if centre - lo > RATE // 40 else 0.0
        threshold = before + 0.5 * (smooth.max() - before)
        above = np.nonzero(smooth > threshold)[0]
        # The song's kicks sit on the beat grid; an onset off it is another sound on a beat
        # without a kick (the breakdown), and that beat is not measured.
        if len(above) and abs(lo + int(above[0]) - centre) <= RATE // 500:
            kicks[beat] = lo + int(above[0])
    return kicks


def keep_ordinary_priority():
    """For the programs measured and the load: the scheduling every user program gets."""
    try:
        os.sched_setscheduler(0, os.SCHED_OTHER, os.sched_param(0))
    except (AttributeError, PermissionError, OSError):
        pass


def run(args):
    # The measuring threads (line and recording timestamps) must not be starved by the load they
    # measure under: real-time where allowed. Every child is put back to ordinary scheduling.
    try:
        os.sched_setscheduler(0, os.SCHED_FIFO, os.sched_param(10))
    except (AttributeError, PermissionError, OSError):
        pass
    song = decode_song(args.song)
    folder = tempfile.mkdtemp(prefix="av_sync_")
    load = []
    recorder = None
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
        recording = recorder.stop() if recorder else None
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
    line_errors = []
    picture_errors = []
    for beat, (arrival, printed) in sorted(beats.items()):
        if beat not in kicks or beat * BEAT_SECONDS < args.start + 0.3:
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
    report = (f"beats {len(errors)}: picture minus sound median {median * 1000:+.1f} ms, "
              f"p95 |error| {p95 * 1000:.1f} ms, max {worst * 1000:+.1f} ms; line minus kick "
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
