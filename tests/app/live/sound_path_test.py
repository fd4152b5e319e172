#!/usr/bin/env python3
"""The sound path test's own judgement, on made-up runs: dating a recording whose monitor stopped
(a suspended sink) or whose reads came late, finding the song in a recording that starts anywhere
in it, the beats measured only where they were heard, and the standard error rules."""
import os
import sys
import unittest
from unittest import mock

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sound_lab  # noqa: E402
import sound_path  # noqa: E402

RATE = sound_lab.RATE
SONG = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "resources",
                    "audio.mp3")


def arrivals(start, seconds, first_frame=0, late=None, chunk=2048):
    """Reads of `chunk` frames from a sink playing from monotonic time `start`, each arriving
    when its last frame has left, plus `late(i)` seconds."""
    out = []
    for i in range(int(seconds * RATE / chunk)):
        frames = first_frame + (i + 1) * chunk
        out.append((start + (i + 1) * chunk / RATE + (late(i) if late else 0.0), frames))
    return out


class DatingTest(unittest.TestCase):
    def test_late_reads_do_not_move_the_line(self):
        rng = np.random.default_rng(3)
        lines = sound_lab.date_arrivals(arrivals(100.0, 30, late=lambda i: rng.uniform(0, 0.06)
                                                 if i % 7 else 0.0005))
        self.assertAlmostEqual(sound_lab.time_of(lines, 0), 100.0, delta=0.001)
        self.assertAlmostEqual(sound_lab.time_of(lines, 20 * RATE), 120.0, delta=0.001)

    def test_a_stopped_monitor_is_dated_from_its_return(self):
        # Six seconds suspended: no frame arrives, the recording goes on where it stopped.
        before = arrivals(100.0, 10)
        resumed = arrivals(116.0, 10, first_frame=before[-1][1])
        lines = sound_lab.date_arrivals(before + resumed, cuts=[110.0, 116.0])
        self.assertEqual(len(lines), 2)
        self.assertAlmostEqual(sound_lab.time_of(lines, 5 * RATE), 105.0, delta=0.001)
        frame = before[-1][1] + 3 * RATE
        self.assertAlmostEqual(sound_lab.time_of(lines, frame), 119.0, delta=0.001)

    def test_a_sink_that_slipped_at_a_cut_is_dated_by_its_new_stretch(self):
        # Where the sound path changed the sink's cycles slipped 9 ms: the samples after it left
        # 9 ms later than their count says. One line for the whole run would keep the earlier
        # reads' lowering and date them 9 ms early.
        before = arrivals(100.0, 10, late=lambda i: 0.001)
        after = arrivals(110.009, 10, first_frame=before[-1][1], late=lambda i: 0.001)
        frame = before[-1][1] + 5 * RATE
        lines = sound_lab.date_arrivals(before + after, cuts=[110.0])
        self.assertAlmostEqual(sound_lab.time_of(lines, frame), 115.009, delta=0.002)
        self.assertAlmostEqual(sound_lab.time_of(lines, 5 * RATE), 105.0, delta=0.002)


class LocatingTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.song = sound_lab.decode_song(SONG)

    def test_a_recording_starting_mid_song_is_placed_to_the_sample(self):
        lead = RATE // 3
        recording = np.concatenate([np.zeros((lead, 2), np.int32),
                                    self.song[int(23.3 * RATE): int(33.3 * RATE)]])
        # Asked for a place a bar after the recording's start: the best match, not the first good.
        offset = sound_lab.locate_song(recording, self.song, int(26.0 * RATE))
        self.assertEqual(offset, lead - int(23.3 * RATE))

    def test_silence_and_the_song_elsewhere_are_not_placed(self):
        silence = np.zeros((5 * RATE, 2), np.int32)
        self.assertIsNone(sound_lab.locate_song(silence, self.song, 10 * RATE))
        elsewhere = self.song[60 * RATE: 65 * RATE]
        self.assertIsNone(sound_lab.locate_song(elsewhere, self.song, 10 * RATE))


class PictureTest(unittest.TestCase):
    def test_only_beats_heard_in_the_recording_and_the_window_are_measured(self):
        lines = [(0, 50.0, 1.0 / RATE)]  # recording frame f left the sink at 50 + f / RATE

        class Heard:
            def time_of(self, frame):
                return sound_lab.time_of(lines, frame)

        kicks = {beat: int(beat * 0.6 * RATE) for beat in range(10, 30)}
        offset = RATE - kicks[10]  # the recording starts a second before beat 10's kick
        offsets = [(frame, offset) for frame in range(kicks[10], kicks[20], RATE // 2)]
        beats = {}
        for beat, kick in kicks.items():
            shown = kick / RATE + 0.004  # the frame showed song time 4 ms past the kick
            heard = 50.0 + (kick + 0.004 * RATE + offset) / RATE
            beats[beat] = (heard + 0.007, shown)  # on screen 7 ms after its sound
        errors = sound_lab.picture_minus_sound(beats, kicks, offsets, Heard(),
                                               (beats[12][0], 1e9))
        self.assertEqual(sorted(errors), list(range(12, 21)))
        for value in errors.values():
            self.assertAlmostEqual(value, 0.007, delta=1e-6)

    def test_beat_lines_and_other_output_are_told_apart(self):
        beats, others = sound_lab.beat_lines([(1.0, "?? Beat #5 at time 3 sec"),
                                              (1.1, "sound output lost: x"),
                                              (1.6, "?? Beat #6 at time 3.6 sec"),
                                              (1.7, "?? Beat #6 at time 3.61 sec")])
        self.assertEqual(beats, {5: (1.0, 3.0), 6: (1.6, 3.6)})
        self.assertEqual(others, ["sound output lost: x"])


class StandardErrorTest(unittest.TestCase):
    def judge(self, lines, outages):
        show = sound_path.Show.__new__(sound_path.Show)
        show.failures = []
        show.figures = []

        class Said:
            err = lines
        show.run = Said()
        with mock.patch.object(sound_path, "log"):
            show.check_errors(outages)
        return show.failures

    def test_one_line_lost_and_one_back_per_outage_pass(self):
        lines = [(10.5, "sound output lost: the server went away; the show goes on silently"),
                 (16.8, "sound output back: rec")]
        self.assertEqual(self.judge(lines, [(10.0, 16.0, "restart")]), [])

    def test_a_missing_back_line_fails(self):
        lines = [(10.5, "sound output lost: the server went away; the show goes on silently")]
        self.assertEqual(len(self.judge(lines, [(10.0, 16.0, "restart")])), 1)

    def test_repeated_lines_within_a_second_fail(self):
        lines = [(10.5, "sound output lost: a"), (10.9, "sound output lost: a"),
                 (16.8, "sound output back: rec")]
        failures = self.judge(lines, [(10.0, 16.0, "restart")])
        self.assertTrue(any("apart" in failure for failure in failures), failures)
        self.assertTrue(any("2 'lost'" in failure for failure in failures), failures)

    def test_any_other_line_fails(self):
        self.assertEqual(len(self.judge([(3.0, "ALSA lib pcm.c: Unknown PCM default")], [])), 1)


class EndingTest(unittest.TestCase):
    def test_a_recorder_failing_before_the_demo_still_stops_the_server(self):
        # pw_monitor_record missing: the first recorder fails before the demo is started, and
        # the run must still end what it started, saying why in one line.
        server = mock.create_autospec(sound_lab.PipeWireServer, instance=True)
        server.env = {}
        args = mock.Mock(pw_recorder=None)
        show = sound_path.Show(args, None, server, "/nonexistent", ("rec",))
        with self.assertRaises(RuntimeError):
            try:
                show.record()
            finally:
                show.end_run()
        server.stop.assert_called_once()


if __name__ == "__main__":
    unittest.main()
