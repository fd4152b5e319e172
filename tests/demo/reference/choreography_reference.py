#!/usr/bin/env python3
"""Independent model of the demo's per-frame choreography, written in plain
Python so that the C++ trace tool can be checked against it bit for bit.

Reads song times (decimal seconds, one per line) from stdin, treats them as
the consecutive frames of one fresh run and prints, per frame:

    frame <n> time <t> jitter <j> beat <b> texture <i> event <0|1> cubes <c>
    P <16 floats of the projection matrix, row by row>
    W <16 floats of one world matrix>          (one line per cube, draw order)

Every single-precision step is rounded to a 32-bit float right after it is
done (a float32 +, -, *, / computed in double and rounded once is exactly the
float32 result).  The C library's own single-precision sinf, cosf, tanf,
powf and floorf are called through ctypes, and so is its unseeded rand(), so
that this process draws the same jitter sequence as any other fresh process.
"""

import ctypes
import math
import struct
import sys

# --------------------------------------------------------------------------
# C library access

_libc = ctypes.CDLL("libc.so.6")
_libm = ctypes.CDLL("libm.so.6")

_libc.rand.restype = ctypes.c_int
_libc.rand.argtypes = []
_libc.strtof.restype = ctypes.c_float
_libc.strtof.argtypes = [ctypes.c_char_p, ctypes.c_void_p]


def _f32_function(name, nargs):
    fn = getattr(_libm, name)
    fn.restype = ctypes.c_float
    fn.argtypes = [ctypes.c_float] * nargs
    return fn


def _f64_function(name):
    fn = getattr(_libm, name)
    fn.restype = ctypes.c_double
    fn.argtypes = [ctypes.c_double]
    return fn


sinf = _f32_function("sinf", 1)
cosf = _f32_function("cosf", 1)
tanf = _f32_function("tanf", 1)
floorf = _f32_function("floorf", 1)
fabsf = _f32_function("fabsf", 1)
powf = _f32_function("powf", 2)
c_sin = _f64_function("sin")
c_cos = _f64_function("cos")
c_rand = _libc.rand


def parse_time(text):
    """The float nearest to the decimal text, as strtof gives it."""
    return _libc.strtof(text.strip().encode("ascii"), None)


# --------------------------------------------------------------------------
# 32-bit rounding and IEEE / x86 scalar SSE arithmetic

_pack1 = struct.Struct("<f")


def f32(x):
    """Round a double to the nearest 32-bit float (overflow gives +-inf)."""
    try:
        return _pack1.unpack(_pack1.pack(x))[0]
    except OverflowError:
        return ctypes.c_float(x).value


def _round_many(values, packer):
    """Round a batch of doubles to float32; falls back element by element
    when one of them overflows the float range."""
    try:
        return packer.unpack(packer.pack(*values))
    except OverflowError:
        return tuple(f32(v) for v in values)


_pack16 = struct.Struct("<16f")
_pack64 = struct.Struct("<64f")

# x86's "default NaN", produced by invalid operations (0*inf, inf-inf, 0/0):
# quiet, with the sign bit set.
DEFAULT_NAN = -math.nan if math.copysign(1.0, -math.nan) < 0 else math.nan
assert math.copysign(1.0, DEFAULT_NAN) < 0


def isnan(x):
    return x != x


def fmul(a, b):
    """float32 a*b the way scalar SSE does it: a NaN operand is passed on
    (the first one when both are NaN), an invalid product is -nan."""
    if a != a:
        return a
    if b != b:
        return b
    if (a == 0 and math.isinf(b)) or (b == 0 and math.isinf(a)):
        return DEFAULT_NAN
    return f32(a * b)


def fadd(a, b):
    """float32 a+b with the same NaN rules as fmul; inf + -inf is -nan."""
    if a != a:
        return a
    if b != b:
        return b
    if math.isinf(a) and math.isinf(b) and (a > 0) != (b > 0):
        return DEFAULT_NAN
    return f32(a + b)


def fdiv(a, b):
    """float32 a/b with IEEE division by zero; 0/0 and inf/inf are -nan."""
    if a != a:
        return a
    if b != b:
        return b
    if b == 0:
        if a == 0:
            return DEFAULT_NAN
        negative = (math.copysign(1.0, a) < 0) != (math.copysign(1.0, b) < 0)
        return -math.inf if negative else math.inf
    if math.isinf(a) and math.isinf(b):
        return DEFAULT_NAN
    return f32(a / b)


# --------------------------------------------------------------------------
# 4x4 matrices: 16 float32 values stored row by row, points are row vectors

IDENTITY = (1.0, 0.0, 0.0, 0.0,
            0.0, 1.0, 0.0, 0.0,
            0.0, 0.0, 1.0, 0.0,
            0.0, 0.0, 0.0, 1.0)

# (index into A, index into B) for every term, grouped by destination element
# and ordered k = 0..3 inside each group.
_TERMS = [(4 * r + k, 4 * k + c) for r in range(4) for c in range(4) for k in range(4)]


def _mat_mul_exact(A, B):
    """A . B element by element, rounding every product and every sum to
    float32 in the order ((p0 + p1) + p2) + p3, with x86 NaN behaviour."""
    out = []
    for r in range(4):
        for c in range(4):
            acc = fmul(A[4 * r], B[c])
            acc = fadd(acc, fmul(A[4 * r + 1], B[4 + c]))
            acc = fadd(acc, fmul(A[4 * r + 2], B[8 + c]))
            acc = fadd(acc, fmul(A[4 * r + 3], B[12 + c]))
            out.append(acc)
    return tuple(out)


def mat_mul(A, B):
    """The matrix product.  When every input is finite and nothing
    overflows, no NaN or infinity can occur and the 64 products and three
    rounds of sums are rounded to float32 in batches; otherwise every
    operation is modelled one by one."""
    if not math.isfinite(sum(A) + sum(B)):
        return _mat_mul_exact(A, B)
    try:
        p = _pack64.unpack(_pack64.pack(*[A[i] * B[j] for i, j in _TERMS]))
        s = _pack16.unpack(_pack16.pack(*[p[m] + p[m + 1] for m in range(0, 64, 4)]))
        s = _pack16.unpack(_pack16.pack(*[s[n] + p[4 * n + 2] for n in range(16)]))
        s = _pack16.unpack(_pack16.pack(*[s[n] + p[4 * n + 3] for n in range(16)]))
        return s
    except OverflowError:
        return _mat_mul_exact(A, B)


def rotation_y(angle):
    c = cosf(angle)
    s = sinf(angle)
    return (c, 0.0, -s, 0.0,
            0.0, 1.0, 0.0, 0.0,
            s, 0.0, c, 0.0,
            0.0, 0.0, 0.0, 1.0)


def rotation_x(angle):
    c = cosf(angle)
    s = sinf(angle)
    return (1.0, 0.0, 0.0, 0.0,
            0.0, c, s, 0.0,
            0.0, -s, c, 0.0,
            0.0, 0.0, 0.0, 1.0)


def rotation_z(angle):
    c = cosf(angle)
    s = sinf(angle)
    return (c, s, 0.0, 0.0,
            -s, c, 0.0, 0.0,
            0.0, 0.0, 1.0, 0.0,
            0.0, 0.0, 0.0, 1.0)


def translation(x, y, z):
    return (1.0, 0.0, 0.0, 0.0,
            0.0, 1.0, 0.0, 0.0,
            0.0, 0.0, 1.0, 0.0,
            x, y, z, 1.0)


def _key(x):
    """Cache key that tells +0 from -0 (they give different signed zeros)."""
    return x if x else ("zero", math.copysign(1.0, x))


class CubeTransforms:
    """Builds cube world matrices: identity, turn about y, about x, about z,
    then the move, each step a full product.  The rotation prefixes are
    memoised per angle so that cubes sharing angles (wall, unwobbled
    lattice and ring) cost one product each; results are identical to
    building every chain from scratch."""

    def __init__(self):
        self._y = {}
        self._yx = {}
        self._yxz = {}

    def new_frame(self):
        self._y.clear()
        self._yx.clear()
        self._yxz.clear()

    def world(self, ay, ax, az, x, y, z):
        ky, kx, kz = _key(ay), _key(ax), _key(az)
        kyx = (ky, kx)
        kyxz = (ky, kx, kz)
        m = self._yxz.get(kyxz)
        if m is None:
            m2 = self._yx.get(kyx)
            if m2 is None:
                m1 = self._y.get(ky)
                if m1 is None:
                    m1 = mat_mul(IDENTITY, rotation_y(ay))
                    self._y[ky] = m1
                m2 = mat_mul(m1, rotation_x(ax))
                self._yx[kyx] = m2
            m = mat_mul(m2, rotation_z(az))
            self._yxz[kyxz] = m
        return mat_mul(m, translation(x, y, z))


# --------------------------------------------------------------------------
# Constants (32-bit unless noted)

BEAT_LENGTH = f32(0.6)
JITTER_STEP = 0.001                 # 64-bit
PI_APPROX = f32(3.1415)             # widened to 64 bits in the projection
ASPECT = f32(1.7777778)
NEAR_TERM = f32(-0.02)
SPACING = f32(2.5)
RING_DEPTH = f32(-15.0)
CENTRAL_DEPTH = f32(-5.0)
WALL_DEPTH = f32(-15.0)
QUARTER = f32(0.25)
DRIFT_COS_DIVISOR = f32(0.010125)
DRIFT_SIN_DIVISOR = f32(0.00155)
DRIFT_SIN_EXPONENT = f32(0.015)
RING_GROWTH = 5
LAST_BEAT = 289.0

# --------------------------------------------------------------------------
# Shape table: (cosDivisor, sinDivisor, symmetry, outerExponent, cosExponent,
#               sinExponent, stepNumerator, stepDenominator)

_PHRASE = [
    (0.56, 0.06, 2.042, 2.7, 1.6, 0.502, 3, 1.13),
    (0.56, 0.06, 1.042, 2.7, 1.6, 0.502, 3, 1.13),
    (0.56, 0.06, 1.042, 2.7, 1.6, 0.502, 1, 1.13),
    (0.056, 0.06, 1.042, 2.7, 1.6, 0.502, 1, 1.13),
    (0.056, 0.06, 1.042, 2.7, 1.6, 1.502, 1, 1.13),
    (0.056, 0.06, 1.042, 2.7, 1.6, 1.502, 1, 9.13),
    (0.056, 0.06, 1.042, 2.7, 1.6, 1.502, 1, 9.13),
    (0.056, 0.06, 1.042, 9.7, 1.6, 1.502, 1, 9.13),
    (0.056, 0.06, 1.042, 1.7, 1.6, 5.502, 2, 7.13),
    (5.056, 5.06, 5.042, 1.7, 1.6, 5.502, 2, 7.13),
    (5.056, 2.06, 5.042, 1.7, 1.6, 5.502, 0.1, 2.13),
    (5.056, 2.06, 5.042, 1.7, 1.6, 5.502, 0.06, 0.13),
    (5.056, 2.06, 5.042, 1.7, 1.6, 5.502, 0.06, 0.13),
    (1.056, 3.06, 1.042, 5, 1.6, 2.502, 8.06, 0.13),
    (1.056, 3.06, 1.042, 4, 1.6, 2.502, 4.06, 1.13),
    (1.056, 3.06, 1.042, 3, 1.06, 2.502, 4.06, 1.13),
    (1.056, 3.06, 1.042, 3, 1.06, 2.502, 3.806, 1.13),
    (1.056, 3.06, 1.042, 3, 1.06, 2.502, 3.7806, 1.13),
    (1.056, 3.06, 1.042, 3, 1.06, 2.502, 3.606, 1.13),
    (1.056, 3.06, 1.042, 3, 1.06, 2.502, 3.2606, 1.13),
    (1.056, 3.06, 1.042, 3, 1.06, 2.502, 2.2806, 1.13),
    (1.056, 3.06, 1.042, 3, 0.9806, 2.502, 2.2806, 1.13),
    (1.056, 3.06, 1.042, 2, 0.9806, 2.502, 2.2806, 10.13),
    (1.056, 3.06, 1.042, 2, 0.9806, 2.502, 2.92806, 10.13),
    (1.056, 3.06, 1.042, 4, 1.6, 2.502, 4.106, 1.031),
    (1.056, 3.06, 1.042, 4, 1.6, 2.502, 4.206, 1.0031),
    (1.056, 3.06, 1.042, 4, 1.6, 2.502, 5.206, 1.0031),
    (1.056, 3.06, 1.042, 4, 1.6, 1.502, 5.1206, 1.0031),
    (1.056, 3.06, 1.042, 4, 1.6, 1.502, 3.1206, 1.0031),
    (1.056, 3.06, 1.042, 4, 1.6, 1.502, 2.1206, 1.0031),
    (1.056, 3.06, 1.042, 7, 1.6, 0.502, 2.1206, 2.0031),
]

_SWEEP = [
    (0.56, 0.16, 2.042, 2.7, 1.5, 0.702, 3, 0.53),
    (0.64495, 0.15922, 2.05865, 3, 1.6, 0.69801, 3.07422, 0.73),
    (0.7276, 0.15689, 2.07518, 3.3, 1.7, 0.68621, 3.14383, 0.93),
    (0.80571, 0.15305, 2.09148, 3.6, 1.5, 0.66707, 3.20449, 1.13),
    (0.87718, 0.14776, 2.10744, 3.9, 1.6, 0.64134, 3.25244, 1.33),
    (0.93909, 0.14112, 2.12296, 4.2, 1.7, 0.60991, 3.28444, 1.53),
    (0.98874, 0.13325, 2.13793, 4.5, 1.8, 0.57379, 3.29779, 1.73),
    (1.02379, 0.12432, 2.15224, 4.8, 1.6, 0.53406, 3.2905, 1.93),
    (1.04232, 0.11452, 2.16581, 5.1, 1.7, 0.49189, 3.26137, 2.13),
    (1.04296, 0.10404, 2.17854, 5.4, 1.8, 0.44847, 3.21, 2.33),
    (1.02494, 0.09308, 2.19034, 5.7, 1.9, 0.40502, 3.13772, 2.53),
    (0.9882, 0.08187, 2.20113, 6, 1.7, 0.36275, 3.04561, 2.73),
    (0.93342, 0.07061, 2.21083, 6.3, 1.8, 0.32275, 2.93541, 2.93),
    (0.862, 0.05951, 2.21938, 6.6, 1.9, 0.286, 2.80947, 3.13),
    (0.77602, 0.04875, 2.22672, 6.9, 2, 0.25324, 2.67064, 3.33),
    (0.6782, 0.03853, 2.2328, 7.2, 1.8, 0.22497, 2.52219, 3.53),
    (0.57181, 0.02901, 2.2376, 7.5, 1.9, 0.20137, 2.36767, 3.73),
    (0.34851, 0.0126, 2.24329, 8.1, 2.1, 0.167, 2.05544, 4.13),
    (0.23994, 0.00588, 2.24418, 8.4, 1.9, 0.155, 1.90537, 4.33),
    (0.13918, 0.00021, 2.24378, 8.7, 2, 0.14538, 1.76422, 4.53),
    (0.0505, -0.00437, 2.2421, 9, 2.1, 0.13731, 1.63527, 4.73),
    (-0.015, -0.00789, 2.23918, 9.3, 2.2, 0.12996, 1.52144, 4.93),
    (-0.05656, -0.01031, 2.23506, 9.6, 2, 0.1226, 1.42517, 5.13),
    (-0.07396, -0.01161, 2.2298, 9.9, 2.1, 0.11456, 1.34838, 5.33),
    (-0.06765, -0.01178, 2.22348, 10.2, 2.2, 0.10525, 1.29237, 5.53),
    (-0.03992, -0.01081, 2.21628, 10.5, 2.3, 0.095, 1.25848, 5.73),
    (0.00409, -0.00874, 2.20831, 10.8, 2.1, 0.08334, 1.2477, 5.93),
    (0.06007, -0.00564, 2.19967, 11.1, 2.2, 0.07006, 1.26052, 6.13),
    (0.122, -0.00166, 2.19046, 11.4, 2.3, 0.05524, 1.29692, 6.33),
    (0.18339, 0.00304, 2.1808, 11.7, 2.4, 0.03919, 1.3563, 6.53),
    (0.23759, 0.00829, 2.1708, 12, 2.2, 0.02244, 1.43748, 6.73),
    (0.27811, 0.01383, 2.16058, 12.3, 2.3, 0.00576, 1.53871, 6.93),
    (0.29901, 0.01938, 2.15024, 12.6, 2.4, -0.01091, 1.65768, 7.13),
    (0.29525, 0.02469, 2.13989, 12.9, 2.5, -0.02724, 1.7916, 7.33),
    (0.26211, 0.02942, 2.12961, 13.2, 2.3, -0.04291, 1.93718, 7.53),
    (0.19562, 0.03332, 2.11947, 13.5, 2.4, -0.05763, 2.09075, 7.73),
    (0.09278, 0.03617, 2.10955, 13.8, 2.5, -0.07114, 2.24837, 7.93),
    (-0.04118, 0.03779, 2.0999, 14.1, 2.6, -0.08324, 2.40594, 8.13),
    (-0.19866, 0.03809, 2.09056, 14.4, 2.4, -0.09378, 2.55933, 8.33),
    (-0.37074, 0.03703, 2.08156, 14.7, 2.5, -0.10267, 2.70452, 8.53),
    (-0.54741, 0.03462, 2.0729, 15, 2.6, -0.10988, 2.83768, 8.73),
    (-0.71773, 0.03093, 2.06458, 15.3, 2.7, -0.11545, 2.95527, 8.93),
    (-0.87097, 0.0261, 2.05658, 15.6, 2.8, -0.11947, 3.05418, 9.13),
    (-0.99784, 0.02033, 2.04887, 15.9, 2.6, -0.12208, 3.13182, 9.33),
    (-1.09067, 0.01393, 2.04142, 16.2, 2.7, -0.12344, 3.18619, 9.53),
    (-1.14355, 0.00723, 2.03419, 16.5, 2.8, -0.12375, 3.21593, 9.73),
    (-1.15256, 0.00064, 2.02713, 16.8, 2.9, -0.12321, 3.22032, 9.93),
    (-1.11588, -0.00537, 2.02017, 17.1, 2.7, -0.12201, 3.19932, 10.13),
    (-1.03385, -0.01052, 2.01326, 17.4, 2.8, -0.1203, 3.15357, 10.33),
    (-0.90896, -0.01456, 2.00634, 17.7, 2.9, -0.11814, 3.08438, 10.53),
]


def _rows(kind, first, last, times=1):
    source = _PHRASE if kind == "A" else _SWEEP
    return [tuple(f32(v) for v in source[n - 1])
            for _ in range(times) for n in range(first, last + 1)]


def build_shape_table():
    """The ring's score: phrase rows (A) and sweep rows (B) in 19 segments."""
    table = (_rows("A", 1, 9) + _rows("A", 7, 9, 4) + _rows("A", 10, 31)
             + _rows("B", 1, 7) + _rows("A", 7, 15) + _rows("B", 8, 17)
             + _rows("A", 1, 22) + _rows("A", 7, 15) + _rows("A", 23, 31)
             + _rows("B", 18, 23) + _rows("A", 7, 15) + _rows("B", 24, 33)
             + _rows("A", 1, 31) + _rows("B", 34, 44) + _rows("A", 1, 31)
             + _rows("B", 45, 49) + _rows("A", 1, 31) + _rows("A", 7, 23, 3)
             + _rows("B", 50, 50))
    assert len(table) == 295
    return table


SHAPE_TABLE = build_shape_table()
RING_START_SHAPE = tuple(f32(v) for v in (1.56, 1.06, 1.42, 1.7, 4.6, 1.02, 3, 4.13))


# --------------------------------------------------------------------------
# Timeline

def frame_timing(t):
    """(songSeconds, jitterSeconds, beat); draws one rand() value."""
    digit = c_rand() % 10
    jitter = f32(digit * JITTER_STEP + t)
    beat = floorf(fdiv(t, BEAT_LENGTH))
    return t, jitter, beat


def truncate_to_int32(t):
    """Float-to-int32 truncation as x86 does it: out-of-range and NaN give
    INT32_MIN (which, like every float beyond 2^24, is even)."""
    if t != t or not (-2147483648.0 <= t < 2147483648.0):
        return -2147483648
    return int(t)


def make_projection(t):
    a = f32(t * 0.01 * 10.25 * PI_APPROX)  # 64-bit chain, rounded once
    h = fmul(a, 0.5)
    ys = fdiv(1.0, tanf(h))
    xs = fdiv(ys, ASPECT)
    return (xs, 0.0, 0.0, 0.0,
            0.0, ys, 0.0, 0.0,
            0.0, 0.0, -1.0, -1.0,
            0.0, 0.0, NEAR_TERM, 0.0)


def wall_active(beat):
    return 31 < beat < 48


def lattice_active(beat):
    return (48 <= beat < 80) or (161 <= beat < 183)


def ring_active(beat):
    return beat > 64


# --------------------------------------------------------------------------
# Ring

def superformula_point(shape, phi):
    cos_div, sin_div, symmetry, outer, cos_exp, sin_exp = shape[:6]
    u = fmul(fmul(phi, symmetry), QUARTER)
    a = powf(fabsf(fdiv(sinf(u), sin_div)), sin_exp)
    b = powf(fabsf(fdiv(cosf(u), cos_div)), cos_exp)
    s = fadd(a, b)
    r = powf(s, fdiv(1.0, outer))
    if fabsf(r) == 0:
        return 0.0, 0.0
    k = fdiv(1.0, r)
    y = fmul(sinf(phi), k)
    x = fmul(cosf(phi), k)
    return x, y


class Demo:
    def __init__(self):
        self.last_beat = -1.0
        self.texture_index = 0
        self.projection = (0.0,) * 16
        self.shape = RING_START_SHAPE
        self.instance_count = 1
        self.next_shape_row = 0
        self.frame = 0
        self.ended = False
        self.cubes = CubeTransforms()
        self._wobble_cache = {}

    def load_next_shape_row(self):
        row = self.next_shape_row
        self.next_shape_row = row + 1
        self.instance_count += RING_GROWTH
        # Past the last row the ring keeps taking the last one.
        self.shape = SHAPE_TABLE[min(row, len(SHAPE_TABLE) - 1)]

    def _ring_wobble_terms(self, i):
        terms = self._wobble_cache.get(i)
        if terms is None:
            d = float(i)
            terms = (c_sin(d) + d, c_cos(d) + d)
            self._wobble_cache[i] = terms
        return terms

    def emit_ring(self, t, j, beat, sink):
        cd, sd, sym, outer, ce, se, num, den = self.shape
        cd = fadd(cd, DRIFT_COS_DIVISOR)
        sd = fadd(sd, DRIFT_SIN_DIVISOR)
        se = fadd(se, DRIFT_SIN_EXPONENT)
        self.shape = (cd, sd, sym, outer, ce, se, num, den)
        wobble = beat > 127
        world = self.cubes.world
        for i in range(self.instance_count):
            fi = float(i)
            if wobble:
                sin_term, cos_term = self._ring_wobble_terms(i)
                az = f32(sin_term * j)
                ax = f32(cos_term * j)
                ay = fmul(fi, t)
            else:
                ay, ax, az = t, j, j
            phi = fdiv(fmul(fi, num), den)
            x, y = superformula_point(self.shape, phi)
            sink(world(ay, ax, az, x, y, RING_DEPTH))

    def emit_wall(self, t, j, sink):
        world = self.cubes.world
        for i in range(-4, 5):
            for k in range(-4, 5):
                sink(world(t, j, j, fmul(float(k), SPACING), fmul(float(i), SPACING), WALL_DEPTH))

    def emit_lattice(self, t, j, beat, sink):
        world = self.cubes.world
        wobble = beat > 161
        for a in range(9):
            z = fmul(float(a - 4), SPACING)
            az = f32((c_sin(float(a)) + a) * j) if wobble else j
            for b in range(9):
                y = fmul(float(b - 4), SPACING)
                for c in range(9):
                    x = fmul(float(c - 4), SPACING)
                    if wobble:
                        ay = fmul(float(c), t)
                        ax = f32((c_cos(float(c)) + b) * j)
                        sink(world(ay, ax, az, x, y, z))
                    else:
                        sink(world(t, j, j, x, y, z))

    def run_frame(self, t):
        """One pass of the frame loop without graphics; returns the header
        fields and the frame's world matrices in draw order."""
        t, j, beat = frame_timing(t)
        if truncate_to_int32(t) & 1 == 0:
            self.texture_index = (self.texture_index + 1) % 3
        event = beat > self.last_beat
        if event:
            self.last_beat = beat
            self.projection = make_projection(t)
            if beat > 64:
                self.load_next_shape_row()
        self.cubes.new_frame()
        matrices = []
        sink = matrices.append
        sink(self.cubes.world(t, j, j, 0.0, 0.0, CENTRAL_DEPTH))
        if wall_active(beat):
            self.emit_wall(t, j, sink)
        if lattice_active(beat):
            self.emit_lattice(t, j, beat, sink)
        if ring_active(beat):
            self.emit_ring(t, j, beat, sink)
        header = (self.frame, t, j, beat, self.texture_index, event)
        self.frame += 1
        if beat > LAST_BEAT:
            self.ended = True
        return header, self.projection, matrices


# --------------------------------------------------------------------------
# Output

def fmt(x):
    """C's %.9g, with glibc's spelling of NaN including its sign."""
    if x != x:
        return "-nan" if math.copysign(1.0, x) < 0 else "nan"
    return "%.9g" % x


_ROW16 = " ".join(["%.9g"] * 16)


def fmt_matrix(tag, m):
    total = sum(m)
    if total == total:            # no NaN anywhere: one format call
        return tag + " " + _ROW16 % tuple(m)
    return tag + " " + " ".join(fmt(v) for v in m)


def trace(lines, out):
    demo = Demo()
    for line in lines:
        if not line.strip():
            continue
        header, projection, matrices = demo.run_frame(parse_time(line))
        n, t, j, beat, tex, event = header
        chunk = ["frame %d time %s jitter %s beat %s texture %d event %d cubes %d"
                 % (n, fmt(t), fmt(j), fmt(beat), tex, 1 if event else 0, len(matrices)),
                 fmt_matrix("P", projection)]
        chunk.extend(fmt_matrix("W", m) for m in matrices)
        out.write("\n".join(chunk))
        out.write("\n")
        if demo.ended:
            break


def main():
    trace(sys.stdin, sys.stdout)
    sys.stdout.flush()
    return 0


if __name__ == "__main__":
    sys.exit(main())
