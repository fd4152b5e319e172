/* glibc's default generator (random_r.c, TYPE_3): an additive feedback generator over 31 words,
 * x[i] = x[i-3] + x[i-31] (mod 2^32), seeded by the multiplier 16807 modulo 2^31 - 1, its first
 * 310 outputs discarded; each output is the sum shifted right by one. */
#include "app/glibc_random.h"

#include <stdint.h>

enum { kDegree = 31, kSeparation = 3 };

static uint32_t gState[kDegree];
static int gFront = kSeparation; /* the word that receives the sum */
static int gRear = 0;            /* the word added to it */
static int gSeeded = 0;

static uint32_t Step(void) {
  gState[gFront] += gState[gRear];
  const uint32_t result = gState[gFront] >> 1;
  if (++gFront == kDegree) gFront = 0;
  if (++gRear == kDegree) gRear = 0;
  return result;
}

void tc_glibc_srand(unsigned int seed) {
  /* A 32-bit word, as in glibc: seeds above INT32_MAX start negative. */
  int32_t word = seed == 0 ? 1 : (int32_t)seed;
  gState[0] = (uint32_t)word;
  for (int i = 1; i < kDegree; ++i) {
    /* 16807 * word mod (2^31 - 1) without overflow (Schrage's method), as glibc computes it. */
    const int64_t hi = word / 127773;
    const int64_t lo = word % 127773;
    word = (int32_t)(16807 * lo - 2836 * hi); /* a 64-bit long stored in a 32-bit word */
    if (word < 0) word += 2147483647;
    gState[i] = (uint32_t)word;
  }
  gFront = kSeparation;
  gRear = 0;
  for (int i = 0; i < kDegree * 10; ++i)
    Step();
  gSeeded = 1;
}

int tc_glibc_rand(void) {
  if (!gSeeded) tc_glibc_srand(1);
  return (int)Step();
}

#if defined(__EMSCRIPTEN__)
/* Defined in the program, these take the place of the C library's own pair. */
int rand(void) {
  return tc_glibc_rand();
}

void srand(unsigned int seed) {
  tc_glibc_srand(seed);
}
#endif
