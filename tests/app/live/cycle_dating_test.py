#!/usr/bin/env python3
"""Dating PipeWire recordings by the graph's cycles: pw_monitor_record's cycle lines read back,
and each buffer dated by the cycle that filled it whatever clock its callback read."""
import os
import sys
import unittest

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sound_lab  # noqa: E402

RATE = sound_lab.RATE
Q = 2048


def cycles(rows):
    """Cycle lines from (first, frames, start s, position, duration, arrival s) rows."""
    text = "".join(f"{first} {frames} {int(round(start * 1e9))} {position} {duration} 1.0 "
                   f"{int(round(arrival * 1e9))}\n"
                   for first, frames, start, position, duration, arrival in rows)
    return sound_lab.parse_cycles(text)


def steady(count, start=100.0, position=4096, first=0, late=0.0002):
    """Buffers read on time from a driver running 2048-frame cycles."""
    return [(first + i * Q, Q, start + i * Q / RATE, position + i * Q, Q,
             start + i * Q / RATE + late) for i in range(count)]


class ParseTest(unittest.TestCase):
    def test_a_line_cut_short_by_the_end_is_left_out(self):
        text = "0 2048 100000000000 4096 2048 1.000000000 100000200000\n2048 2048 1000464"
        parsed = sound_lab.parse_cycles(text)
        self.assertEqual(len(parsed), 1)
        self.assertAlmostEqual(parsed["start"][0], 100.0)
        self.assertAlmostEqual(parsed["arrival"][0], 100.0002)

    def test_no_line_no_buffer(self):
        self.assertEqual(len(sound_lab.parse_cycles("")), 0)
        with self.assertRaises(RuntimeError):
            sound_lab.cycle_time_of(np.zeros(0, np.int64), np.zeros(0), 0)


class DatingTest(unittest.TestCase):
    def test_buffers_read_on_time_are_dated_by_their_cycle(self):
        c = cycles(steady(10))
        dates = sound_lab.date_buffers(c)
        np.testing.assert_allclose(dates, c["start"], atol=1e-9)
        # A frame inside a buffer leaves its place in the cycle later.
        self.assertAlmostEqual(sound_lab.cycle_time_of(c["first"], dates, 3 * Q + 441),
                               100.0 + 3 * Q / RATE + 0.01, delta=1e-9)

    def test_buffers_taken_together_by_a_late_callback_keep_their_own_cycles(self):
        rows = steady(10)
        # The callback of cycle 6 ran late, in cycle 8: buffers 6, 7 and 8 all read cycle 8.
        for i in (6, 7):
            rows[i] = rows[i][:2] + rows[8][2:5] + (rows[8][5] + 0.001,)
        c = cycles(rows)
        dates = sound_lab.date_buffers(c)
        np.testing.assert_allclose(dates, [row[2] for row in steady(10)], atol=1e-9)

    def test_a_callback_that_read_the_next_cycle_is_dated_back(self):
        rows = steady(10)
        # Buffer 4 handed over just before cycle 5 began, its clock already cycle 5's.
        rows[4] = rows[4][:2] + rows[5][2:5] + (rows[5][2] - 0.002,)
        c = cycles(rows)
        dates = sound_lab.date_buffers(c)
        self.assertAlmostEqual(dates[4], steady(10)[4][2], delta=1e-9)
        self.assertFalse(np.any(c["arrival"] < dates))

    def test_lost_buffers_date_what_follows_by_its_own_cycles(self):
        rows = steady(12)
        # Buffers of cycles 5 and 6 never reached the recording: the frames go on, the driver
        # had gone two cycles further.
        kept = rows[:5] + [(row[0] - 2 * Q,) + row[1:] for row in rows[7:]]
        c = cycles(kept)
        dates = sound_lab.date_buffers(c)
        np.testing.assert_allclose(dates[:5], [row[2] for row in rows[:5]], atol=1e-9)
        np.testing.assert_allclose(dates[5:], [row[2] for row in rows[7:]], atol=1e-9)

    def test_a_quantum_change_is_dated_by_the_cycles_that_ran(self):
        # Seen when a stream joins: one 512-frame cycle lasts a whole 2048-frame period and the
        # next 2048-frame one only 512 frames; the position does not follow the wall.
        rows = steady(4)
        t, p, f = 100.0 + 4 * Q / RATE, 4096 + 4 * Q, 4 * Q
        rows.append((f, 512, t, p, 512, t + 0.0002))
        rows.append((f + 512, 512, t + Q / RATE, p + 512, 2048, t + Q / RATE + 0.0002))
        t2 = t + Q / RATE + 512 / RATE
        rows.append((f + 1024, Q, t2, p + 512 + Q, Q, t2 + 0.0002))
        c = cycles(rows)
        dates = sound_lab.date_buffers(c)
        np.testing.assert_allclose(dates, c["start"], atol=1e-9)
        # The short cycle's buffer taken late, with the long one's clock: counted back from
        # that clock it would be dated 35 ms late; the cycle before it runs at the wall's pace.
        rows[4] = rows[4][:2] + rows[5][2:5] + (rows[5][5] + 0.001,)
        dates = sound_lab.date_buffers(cycles(rows))
        self.assertAlmostEqual(dates[4], t, delta=1e-9)

    def test_a_new_driver_is_dated_on_its_own(self):
        # After a cut the graph runs from another driver whose position is far behind; its
        # buffers must not lend their lower position to the earlier ones.
        before = steady(6, position=10_000_000)
        after = steady(6, start=200.0, position=4096, first=6 * Q)
        c = cycles(before + after)
        dates = sound_lab.date_buffers(c, cuts=[150.0])
        np.testing.assert_allclose(dates, c["start"], atol=1e-9)
        # Found from the position going back alone, too.
        np.testing.assert_allclose(sound_lab.date_buffers(c), c["start"], atol=1e-9)

    def test_stretches_begin_at_the_first_buffer_after_each_cut(self):
        c = cycles(steady(10))
        cut = 100.0 + 3.5 * Q / RATE
        self.assertEqual(sound_lab.cycle_stretches(c, [cut]), [0, 4 * Q])
        # A cut before the recording or after its end makes no stretch.
        self.assertEqual(sound_lab.cycle_stretches(c, [50.0, 500.0]), [0])


class RecorderTest(unittest.TestCase):
    def test_a_missing_recorder_says_what_to_install(self):
        with self.assertRaises(RuntimeError) as caught:
            sound_lab.CycleRecorder({}, None, "/nonexistent")
        self.assertIn("libpipewire-0.3-dev", str(caught.exception))
        self.assertNotIn("\n", str(caught.exception))


if __name__ == "__main__":
    unittest.main()
