#!/usr/bin/env python3
"""Runs a command against a private sound server with a null sink, as the sync test does, and
stops the server after it: for measuring by hand, e.g. the clock benchmark on each server:

  xvfb-run -a tests/app/live/with_sound_server.py pipewire build/linux/bench/clock_bench 60

The server is PulseAudio or PipeWire with its PulseAudio server; the command's exit status is
passed on."""

import os
import shutil
import subprocess
import sys
import tempfile

from av_sync import PipeWireServer, PulseServer


def main():
    if len(sys.argv) < 3 or sys.argv[1] not in ("pulseaudio", "pipewire"):
        print(__doc__, file=sys.stderr)
        return 2
    folder = tempfile.mkdtemp(prefix="sound_server_")
    try:
        server = PipeWireServer(folder) if sys.argv[1] == "pipewire" else PulseServer(folder)
        try:
            return subprocess.run(sys.argv[2:], env=server.env).returncode
        finally:
            server.stop()
    except RuntimeError as error:
        print(f"with_sound_server: {error}", file=sys.stderr)
        return 1
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
