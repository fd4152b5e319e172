#!/usr/bin/env python3
"""The sync test's song tracker against recordings made from the song itself, with the faults a
starved output puts there: silences inserted (short ones and stalls of seconds), a stretch of the
song dropped, a stretch of noise. Every beat of the song sounds much like the next, so a tracker
that settles for a good match instead of the right one reports gaps of whole beats that are not
there."""
import os
import sys
import unittest

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import av_sync  # noqa: E402

RATE = av_sync.RATE
SONG = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "resources",
                    "audio.mp3")
LEAD = RATE // 2  # the recording starts before the song
END = 40 * RATE


def record(song, edits):
    """The song from 0 to END after a silent lead-in, with edits (song time in seconds, change):
    a positive change inserts that many milliseconds of silence, a negative one drops that much
    of the song, a string "noise:MS" puts noise in place of that much of the song."""
    parts = [np.zeros((LEAD, 2), np.int32)]
    at = 0
    rng = np.random.default_rng(7)
    for when, change in sorted(edits):
        frame = int(when * RATE)
        parts.append(song[at:frame])
        if isinstance(change, str):
            length = int(float(change.split(":")[1]) * RATE / 1000)
            parts.append(rng.integers(-8000, 8000, (length, 2), dtype=np.int32))
            at = frame + length
        elif change > 0:
            parts.append(np.zeros((int(change * RATE / 1000), 2), np.int32))
            at = frame
        else:
            at = frame + int(-change * RATE / 1000)
    parts.append(song[at:END])
    return np.concatenate(parts)


class TrackerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.song = av_sync.decode_song(SONG)

    def track(self, edits):
        return av_sync.track_song(record(self.song, edits), self.song, 0, END)

    def assertGaps(self, gaps, expected):
        """Each expected (song time, ms) found once, within a piece after it and 1 ms of size."""
        self.assertEqual(len(gaps), len(expected), f"gaps found: {gaps}")
        for (at, length), (when, ms) in zip(gaps, expected):
            self.assertLessEqual(when, at + 1e-9)
            self.assertLess(at, when + 1.5)
            self.assertAlmostEqual(length * 1000, ms, delta=1.0)

    def test_an_untouched_recording_has_no_gap(self):
        offsets, gaps, lost = self.track([])
        self.assertEqual((gaps, lost), ([], []))
        self.assertTrue(all(offset == LEAD for _, offset in offsets))

    def test_silences_are_found_at_their_length_short_or_seconds_long(self):
        edits = [(5.2, 4), (9.2, 618), (14.1, 1200), (15.3, 600), (22.2, 3500)]
        _, gaps, lost = self.track(edits)
        self.assertEqual(lost, [])
        self.assertGaps(gaps, edits)

    def test_a_dropped_stretch_is_a_negative_gap(self):
        _, gaps, lost = self.track([(12.2, -300), (25.3, -700)])
        self.assertEqual(lost, [25.5])  # the only piece wholly dropped
        self.assertGaps(gaps, [(12.2, -300), (25.3, -700)])

    def test_noise_costs_its_pieces_but_not_the_place(self):
        offsets, gaps, lost = self.track([(20.1, "noise:2000")])
        self.assertEqual(gaps, [])
        self.assertTrue(lost and all(20.0 <= at < 22.1 for at in lost), lost)
        self.assertEqual(offsets[-1][1], LEAD)

    def test_a_silent_recording_is_an_error(self):
        with self.assertRaisesRegex(RuntimeError, "silent"):
            av_sync.track_song(np.zeros((END, 2), np.int32), self.song, 0, END)


if __name__ == "__main__":
    unittest.main()
