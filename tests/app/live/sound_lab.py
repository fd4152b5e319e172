"""What the live sound tests share: private sound servers (PulseAudio, or PipeWire with its
PulseAudio server) with null sinks, that can be killed and started again on the same socket; a
recorder of a sink's monitor that dates its samples; the song tracker that follows the song through
a recording by cross-correlation; and the picture-against-sound figure per beat."""

import os
import resource
import signal
import subprocess
import sys
import threading
import time

import numpy as np

RATE = 44100
BEAT_SECONDS = 0.6
BLOCK = 441  # 10 ms: the shortest silence that counts as a dropout
# How far past a lost piece the song is looked for: Wine's output has stalled for over a second
# on a busy machine.
STALL_SEARCH_SECONDS = 10
# The score a half-second piece needs to be placed. In place it scores 0.99 or more, resampled or
# not; a beat or a bar away, where the song sounds much the same, up to 0.984.
PLACED = 0.988
SINKS = ("rec", "other")


def log(message, who="live"):
    print(f"{who}: {message}", file=sys.stderr, flush=True)


def measure_in_real_time():
    """The measuring threads (line and recording timestamps) must not be starved by the load they
    measure under: real-time where allowed. Every child is put back to ordinary scheduling
    (keep_ordinary_priority)."""
    try:
        os.sched_setscheduler(0, os.SCHED_FIFO, os.sched_param(10))
    except (AttributeError, PermissionError, OSError):
        pass


def keep_ordinary_priority():
    """For the programs measured and the load: the scheduling every user program gets."""
    try:
        os.sched_setscheduler(0, os.SCHED_OTHER, os.sched_param(0))
    except (AttributeError, PermissionError, OSError):
        pass


def desktop_limits():
    """For the sound servers: what a desktop session grants them, real-time priority (rtkit's
    part, here as resource limits, which PulseAudio and PipeWire's module-rt then use) and a
    raised nice level; the scheduling itself starts ordinary, the servers raise their own
    threads."""
    keep_ordinary_priority()
    try:
        resource.setrlimit(resource.RLIMIT_RTPRIO, (95, 95))
        resource.setrlimit(resource.RLIMIT_NICE, (40, 40))
    except (ValueError, OSError):
        pass


def realtime_threads(pid):
    """The names of the threads of `pid` that run under a real-time policy."""
    names = []
    try:
        for tid in os.listdir(f"/proc/{pid}/task"):
            try:
                # The policy comes with SCHED_RESET_ON_FORK or'ed in where a server asked for it.
                policy = os.sched_getscheduler(int(tid)) & ~os.SCHED_RESET_ON_FORK
                if policy in (os.SCHED_FIFO, os.SCHED_RR):
                    with open(f"/proc/{pid}/task/{tid}/comm") as f:
                        names.append(f.read().strip())
            except OSError:
                pass
    except OSError:
        pass
    return names


def _stop(process, sig=signal.SIGTERM):
    if process.poll() is None:
        process.send_signal(sig)
        try:
            process.wait(5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def _wait(ready, what, seconds=15):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if ready():
            return
        time.sleep(0.05)
    raise RuntimeError(f"{what} did not start")


class PulseServer:
    """A private PulseAudio daemon: its own runtime folder and socket, null sinks named by
    `sinks`, the first of them the default. Real-time (as a desktop session runs it) unless
    `realtime` is false. kill() and start() give a crash and a restart on the same socket."""

    def __init__(self, folder, sinks=("rec",), realtime=True):
        self.folder = folder
        self.sinks = sinks
        self.realtime = realtime
        self.logs = []
        self.socket = os.path.join(folder, "pulse.sock")
        self.env = dict(os.environ)
        self.env.update(XDG_RUNTIME_DIR=folder, PULSE_RUNTIME_PATH=os.path.join(folder, "pulse"),
                        PULSE_SERVER="unix:" + self.socket)
        self.env.pop("PULSE_SINK", None)
        self.process = None
        self.start()

    @property
    def log_path(self):
        return self.logs[-1]

    def start(self):
        self.logs.append(os.path.join(self.folder, f"pulse-{len(self.logs)}.log"))
        command = ["pulseaudio", "-n", "--daemonize=no", "--system=false", "--exit-idle-time=-1",
                   "--disallow-exit", "--use-pid-file=no", "--log-level=debug", "--log-time=1",
                   "--log-target=file:" + self.log_path,
                   f"--realtime={'yes' if self.realtime else 'no'}",
                   f"--high-priority={'yes' if self.realtime else 'no'}",
                   "-L", f"module-native-protocol-unix auth-anonymous=1 socket={self.socket}"]
        for sink in self.sinks:
            command += ["-L", f"module-null-sink sink_name={sink} rate={RATE} channels=2"]
        self.process = subprocess.Popen(
            command, env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=desktop_limits if self.realtime else keep_ordinary_priority)
        try:
            _wait(lambda: pactl(self.env, "set-default-sink", self.sinks[0]),
                  "the private PulseAudio server", 10)
        except RuntimeError:
            self.stop()
            raise

    def realtime_threads(self):
        return realtime_threads(self.process.pid)

    def kill(self):
        _stop(self.process, signal.SIGKILL)

    def underruns(self):
        found = []
        for path in self.logs:
            with open(path, errors="replace") as f:
                found += [line.rstrip() for line in f
                          if "underrun" in line.lower() and "end of underrun" not in line]
        return found

    def stop(self):
        _stop(self.process)


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
    { name = libpipewire-module-rt args = { %(rt)s } flags = [ ifexists nofail ] }
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
%(sinks)s]
"""

PIPEWIRE_SINK = """    { factory = adapter
      args = { factory.name = support.null-audio-sink node.name = %(name)s media.class = Audio/Sink
               audio.rate = %(rate)d audio.channels = 2 audio.position = [ FL FR ]
               priority.session = %(priority)d object.linger = true } }
"""

# What a desktop's pipewire.conf asks for; rtkit would grant it, here the resource limits do.
PIPEWIRE_RT = "nice.level = -11 rt.prio = 88 rt.time.soft = -1 rt.time.hard = -1"
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
    no hardware, no desktop; null sinks named by `sinks` at the song's rate, the first the
    default. Underruns are what pipewire-pulse logs as UNDERFLOW and pipewire as 'client too
    slow'. kill() takes down pipewire, wireplumber and pipewire-pulse, as a crash of pipewire
    does; start() brings them back on the same runtime folder."""

    SERVERS = ("pipewire", "wireplumber", "pipewire-pulse")

    def __init__(self, folder, sinks=("rec",), realtime=True):
        self.folder = folder
        self.sinks = sinks
        self.realtime = realtime
        self.processes = {}
        self.logs = []
        self.starts = 0
        home = os.path.join(folder, "home")
        config = os.path.join(folder, "config")
        for sub in (home, config, os.path.join(folder, "state"),
                    os.path.join(config, "wireplumber", "main.lua.d"),
                    os.path.join(config, "wireplumber", "bluetooth.lua.d")):
            os.makedirs(sub, exist_ok=True)
        # No device monitors: the null sinks are the only outputs.
        with open(os.path.join(config, "wireplumber", "main.lua.d", "51-no-devices.lua"), "w") as f:
            f.write("alsa_monitor.enabled = false\nv4l2_monitor.enabled = false\n"
                    "libcamera_monitor.enabled = false\n")
        with open(os.path.join(config, "wireplumber", "bluetooth.lua.d", "51-no-devices.lua"),
                  "w") as f:
            f.write("bluez_monitor.enabled = false\n")
        rt = PIPEWIRE_RT if realtime else "nice.level = 0 rt.prio = 0"
        self.conf = os.path.join(folder, "pipewire.conf")
        with open(self.conf, "w") as f:
            f.write(PIPEWIRE_CONF % {
                "rate": RATE, "rt": rt,
                "sinks": "".join(PIPEWIRE_SINK % {"name": name, "rate": RATE,
                                                  "priority": 2000 - i}
                                 for i, name in enumerate(sinks))})
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
            self._launch(["dbus-daemon", "--config-file=" + os.path.join(folder, "dbus.conf"),
                          "--nofork", "--nopidfile"], "dbus")
            _wait(lambda: os.path.exists(bus), "the private session bus")
            self.start()
        except RuntimeError:
            self.stop()
            raise

    def start(self):
        self.starts += 1
        limits = desktop_limits if self.realtime else keep_ordinary_priority
        self._launch(["pipewire", "-c", self.conf], "pipewire", limits)
        _wait(lambda: os.path.exists(os.path.join(self.folder, "pipewire-0")), "pipewire")
        self._launch(["wireplumber"], "wireplumber", limits)
        self._launch(["pipewire-pulse"], "pipewire-pulse", limits)
        _wait(lambda: pactl(self.env, "info"), "pipewire-pulse")
        _wait(lambda: pactl(self.env, "set-default-sink", self.sinks[0]), "the null sinks")

    def _launch(self, command, name, limits=keep_ordinary_priority):
        path = os.path.join(self.folder, f"{name}-{self.starts}.log")
        log_file = open(path, "w")
        self.logs.append(path)
        self.processes[name] = subprocess.Popen(command, env=self.env, stdout=log_file,
                                                stderr=subprocess.STDOUT,
                                                preexec_fn=limits)
        log_file.close()

    def realtime_threads(self):
        return sum((realtime_threads(self.processes[name].pid) for name in self.SERVERS
                    if name in self.processes), [])

    def kill(self):
        for name in self.SERVERS:
            _stop(self.processes[name], signal.SIGKILL)

    def underruns(self):
        found = []
        for path in self.logs:
            with open(path, errors="replace") as f:
                # The recorders' own lateness is not the demo's.
                found += [line.rstrip() for line in f
                          if ("UNDERFLOW" in line or "client too slow" in line) and
                          "parec" not in line and "pw_monitor_record" not in line]
        return found

    def stop(self):
        # The last started first: the servers before their session bus.
        for name in ("pipewire-pulse", "wireplumber", "pipewire", "dbus"):
            if name in self.processes:
                _stop(self.processes[name])


def pactl(env, *args):
    return subprocess.run(["pactl"] + list(args), env=env, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL).returncode == 0


class Recorder:
    """parec on a sink's monitor; every chunk's arrival is timed, so that sample i of the
    recording maps to the monotonic time at which it left the sink. The sink's own clock is not
    the monotonic one (PulseAudio's null sink runs about 200 ppm fast: 35 ms over the song), so the
    mapping is a line fitted to the earliest arrivals rather than exactly RATE samples a second.
    Where the sound path changed (a suspended sink stops the monitor; a stream joining a PipeWire
    sink changes its quantum and the reads' lateness with it) the recording is dated by one line
    per stretch between those moments, `cuts`, each fitted after the change has settled. On
    PipeWire the recordings are dated by CycleRecorder; this one gives the read-dated figure
    beside it."""

    def __init__(self, env, latency, device="rec.monitor"):
        self.device = device
        self.started = time.monotonic()
        self.process = subprocess.Popen(
            # PipeWire's session manager moves a recording to the new default sink's monitor
            # when the default changes, unless the stream asks to stay.
            ["parec", "-d", device, "--format=s16le", f"--rate={RATE}", "--channels=2",
             latency, "--raw", "--property=node.dont-reconnect=true"],
            env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, bufsize=0,
            # Never real-time like the measuring process: a recorder left behind by a run that
            # broke off spins on its closed pipe, and at real-time priority starves the machine.
            preexec_fn=keep_ordinary_priority)
        self.chunks = []
        self.arrivals = []  # (monotonic time, frames received so far)
        self.lines = []  # (first frame, origin, seconds per frame), in frame order
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

    def date(self, cuts=()):
        """Dates the recording: one line per stretch of arrivals between the `cuts`."""
        self.lines = date_arrivals(self.arrivals, cuts)

    def time_of(self, frame):
        """The monotonic time at which recording frame `frame` left the sink."""
        return time_of(self.lines, frame)

    def stop(self, cuts=()):
        if self.process.poll() is None:
            self.process.terminate()
        self.thread.join(10)
        self.process.wait()
        self.date(cuts)
        data = b"".join(self.chunks)
        samples = np.frombuffer(data[: len(data) // 4 * 4], dtype="<i2").reshape(-1, 2)
        return samples.astype(np.int32)


class CycleRecorder:
    """A PipeWire sink's monitor recorded by pw_monitor_record, which writes with every buffer the
    graph's clock as its callback read it: sample k of a buffer left the sink k / RATE after the
    start of the cycle that filled it (on the monotonic clock), whatever pipewire-pulse does with
    its reads. The interface is Recorder's; `arrivals` are the buffers' own."""

    def __init__(self, env, program, folder, device="rec.monitor"):
        if not program or not os.path.exists(program):
            raise RuntimeError("pw_monitor_record is not built (it needs libpipewire-0.3-dev: "
                               "scripts/setup --linux, then build again); the PipeWire tests "
                               "date their recordings with it")
        self.device = device
        sink = device[: -len(".monitor")] if device.endswith(".monitor") else device
        base = os.path.join(folder, f"cycles-{sink}-{time.monotonic_ns()}")
        self.paths = (base + ".raw", base + ".txt", base + ".log")
        self.started = time.monotonic()
        # The server's debug level is for the servers' logs, not this recorder's.
        quiet = {key: value for key, value in env.items() if key != "PIPEWIRE_DEBUG"}
        with open(self.paths[2], "w") as err:
            self.process = subprocess.Popen([program, sink, self.paths[0], self.paths[1]],
                                            env=quiet, stdout=subprocess.DEVNULL, stderr=err,
                                            preexec_fn=keep_ordinary_priority)
        self.cycles = parse_cycles("")
        self.dates = np.zeros(0)
        self.arrivals = []
        self.lines = []

    def stop(self, cuts=()):
        if self.process.poll() is None:
            self.process.terminate()
        try:
            status = self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            raise RuntimeError(f"pw_monitor_record on {self.device} did not stop within 10 s")
        if status != 0:
            with open(self.paths[2], errors="replace") as f:
                said = [line.strip() for line in f if line.startswith("pw_monitor_record:")]
            raise RuntimeError(said[-1] if said else
                               f"pw_monitor_record on {self.device} exited with status {status}")
        with open(self.paths[1]) as f:
            self.cycles = parse_cycles(f.read())
        self.arrivals = [(arrival, first + frames) for first, frames, arrival in
                         zip(self.cycles["first"], self.cycles["frames"], self.cycles["arrival"])]
        self.date(cuts)
        # A buffer that read the next cycle's clock and is followed by no buffer read on time
        # before the recorder lost some stays dated a cycle late: a stray one is that; more say
        # the clock does not date the buffers.
        early = int(np.count_nonzero(self.cycles["arrival"] < self.dates))
        if early > max(2, len(self.cycles) // 100):
            raise RuntimeError(f"{early} buffers of {self.device} arrived before the cycle that "
                               "dates them: the graph's clock does not date them")
        data = np.fromfile(self.paths[0], dtype="<i2")
        return data[: len(data) // 2 * 2].reshape(-1, 2).astype(np.int32)

    def date(self, cuts=()):
        """Each buffer's date, and the stretches between the `cuts` for the song tracker, as
        Recorder's lines."""
        self.dates = date_buffers(self.cycles, cuts)
        self.lines = [(first,) for first in cycle_stretches(self.cycles, cuts)]

    def time_of(self, frame):
        return cycle_time_of(self.cycles["first"], self.dates, frame)


CYCLE_FIELDS = [("first", np.int64), ("frames", np.int64), ("start", np.float64),
                ("position", np.int64), ("duration", np.int64), ("rate_diff", np.float64),
                ("arrival", np.float64)]


def parse_cycles(text):
    """pw_monitor_record's cycle lines (first_frame frames nsec position duration rate_diff
    arrival_ns) as a record array, times in seconds. A last line cut short by the recorder's end
    is left out."""
    rows = []
    for line in text.splitlines():
        parts = line.split()
        if len(parts) != len(CYCLE_FIELDS):
            continue
        try:
            rows.append((int(parts[0]), int(parts[1]), int(parts[2]) / 1e9, int(parts[3]),
                         int(parts[4]), float(parts[5]), int(parts[6]) / 1e9))
        except ValueError:
            continue
    return np.array(rows, dtype=CYCLE_FIELDS)


def date_buffers(cycles, cuts=()):
    """The monotonic time at which each buffer's first frame left the sink.

    A buffer's clock is the one its callback read, which may be a later cycle's than the one that
    filled it (a callback run late takes several buffers at once, or reads the next cycle's
    clock), never an earlier one. So the driver's position minus the buffer's first frame is
    never below the truth, and the truth only grows (where the recorder lost buffers): the least
    of it over the buffers from this one on is this buffer's, wherever a later one was read on
    time. Its position is then dated by the nearest cycle seen at or before it. The driver's
    position starts afresh where the graph changes driver: stretches between the `cuts` and
    wherever the position goes back are dated each on their own."""
    count = len(cycles)
    dates = np.zeros(count)
    if count == 0:
        return dates
    behind = cycles["position"] - cycles["first"]
    edges = {0, count}
    edges.update(int(i) + 1 for i in np.nonzero(np.diff(cycles["position"]) < 0)[0])
    edges.update(int(np.searchsorted(cycles["start"], cut)) for cut in cuts)
    edges = sorted(e for e in edges if 0 <= e <= count)
    for lo, hi in zip(edges, edges[1:]):
        if hi <= lo:
            continue
        own = np.minimum.accumulate(behind[lo:hi][::-1])[::-1]
        wanted = cycles["first"][lo:hi] + own
        order = np.argsort(cycles["position"][lo:hi], kind="stable")
        seen = cycles["position"][lo:hi][order]
        seen_at = cycles["start"][lo:hi][order]
        nearest = np.maximum(np.searchsorted(seen, wanted, side="right") - 1, 0)
        dates[lo:hi] = seen_at[nearest] + (wanted - seen[nearest]) / RATE
    return dates


def cycle_time_of(firsts, dates, frame):
    """The monotonic time at which recording frame `frame` left the sink: its buffer's date plus
    its place in the buffer. Before the first buffer or past the last, counted on from the
    nearest one."""
    if len(firsts) == 0:
        raise RuntimeError("the recording holds no buffer to date")
    index = max(0, int(np.searchsorted(firsts, frame, side="right")) - 1)
    return float(dates[index]) + (frame - int(firsts[index])) / RATE


def cycle_stretches(cycles, cuts=()):
    """The first frame of each stretch between the `cuts` (monotonic times): 0, then the first
    buffer of a cycle at or after each cut that has any."""
    firsts = [0]
    for cut in sorted(cuts):
        index = int(np.searchsorted(cycles["start"], cut))
        if 0 < index < len(cycles) and cycles["first"][index] > firsts[-1]:
            firsts.append(int(cycles["first"][index]))
    return firsts


BUCKET = 2.0  # seconds of arrivals per point of a dating line
SETTLE = 1.0  # seconds after a cut whose arrivals do not date the stretch


def fit_line(now, frames):
    """A sample cannot arrive before it has left the sink: per bucket of arrivals the earliest
    bound is the best; a line through those, lowered onto the earliest of all. Returns (the time
    of frame 0, seconds per frame)."""
    seconds_per_frame = 1.0 / RATE
    bound = now - frames / RATE
    points = []
    start = now[0]
    while start < now[-1]:
        inside = np.nonzero((now >= start) & (now < start + BUCKET))[0]
        if len(inside):
            best = inside[np.argmin(bound[inside])]
            points.append((frames[best], now[best]))
        start += BUCKET
    if len(points) >= 4:
        x, y = np.array(points).T
        seconds_per_frame = float(np.polyfit(x, y, 1)[0])
    return float(np.min(now - frames * seconds_per_frame)), seconds_per_frame


def date_arrivals(arrivals, cuts=()):
    """Dating lines for a recording from its arrivals, (monotonic time, frames received so far):
    one per stretch between the `cuts`, as (first frame, time of frame 0, seconds per frame). A
    stretch after a cut is fitted on its arrivals after SETTLE where it has enough of them."""
    lines = []
    if not arrivals:
        return lines
    log = np.array(arrivals, dtype=np.float64)
    now, frames = log[:, 0], log[:, 1]
    edges = [now[0]] + sorted(c for c in cuts if now[0] < c < now[-1]) + [now[-1] + 1]
    for lo, hi in zip(edges, edges[1:]):
        inside = (now >= lo) & (now < hi)
        if not inside.any():
            continue
        settled = inside & (now >= lo + SETTLE)
        use = settled if settled.sum() >= 8 and lo > now[0] else inside
        index = int(np.nonzero(inside)[0][0])
        first = int(frames[index - 1]) if index else 0
        lines.append((first,) + fit_line(now[use], frames[use]))
    return lines


def time_of(lines, frame):
    """The monotonic time at which recording frame `frame` left the sink, by the line of the
    stretch that holds it."""
    _, origin, per_frame = lines[0]
    for first, line_origin, line_per_frame in lines:
        if first <= frame:
            origin, per_frame = line_origin, line_per_frame
    return origin + frame * per_frame


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


def track_song(recording, song, song_first, song_last, offset=None):
    """Follows the song through the recording in half-second pieces. Returns the recording offset
    (recording frame minus song frame) per piece; the gaps: places where the offset grows
    (silence or other sound inserted) or shrinks (song skipped); and the song times of pieces
    found nowhere (the song garbled, or a stall longer than the search reaches). `offset`, where
    known (see locate_song), is where the tracking starts; else the song's first sound is
    looked for from the recording's."""
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


def locate_song(recording, song, song_frame):
    """The offset (recording frame minus song frame) of the half second of song from
    `song_frame` in the recording: the best match anywhere, since the recording may start
    anywhere in the song and a beat or a bar away matches nearly as well; None where nothing
    scores as the song in place."""
    reference = mono(song[song_frame: song_frame + RATE // 2])
    lo, score = match_scores(reference, mono(recording), 0, len(recording))
    if score is None or float(score.max()) < PLACED:
        return None
    return lo + int(np.argmax(score)) - song_frame


def offset_at(offsets, song_frame, reach=RATE // 2):
    """The recording offset of the piece holding `song_frame`, None where no placed piece lies
    within `reach` of it (the song was not heard there)."""
    near = [(abs(frame + RATE // 4 - song_frame), offset) for frame, offset in offsets
            if frame - reach <= song_frame < frame + RATE // 2 + reach]
    return min(near)[1] if near else None


def picture_minus_sound(beats, kicks, offsets, recorder, window):
    """Per beat line that arrived within `window` (monotonic times) and whose kick was heard in
    this recording: the line's arrival (the frame is on screen) minus the moment the song time
    that frame showed left the sink, as {beat: seconds}."""
    errors = {}
    for beat, (arrival, printed) in beats.items():
        if not window[0] <= arrival < window[1] or beat not in kicks:
            continue
        offset = offset_at(offsets, kicks[beat])
        if offset is None:
            continue
        heard = recorder.time_of(kicks[beat] + offset)
        errors[beat] = arrival - heard - (printed - kicks[beat] / RATE)
    return errors


def beat_lines(lines):
    """{beat: (arrival, printed song time)} from (arrival, text) lines, and the lines that are no
    beat line."""
    beats = {}
    others = []
    for arrival, text in lines:
        parts = text.split()
        if len(parts) >= 6 and parts[1] == "Beat" and parts[2].startswith("#"):
            beats.setdefault(int(parts[2][1:]), (arrival, float(parts[5])))
        else:
            others.append(text)
    return beats, others


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


