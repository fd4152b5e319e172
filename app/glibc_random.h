/* The C library's random sequence as glibc makes it: rand() and srand() of the Linux build. The
 * web build links these as its rand() and srand() (glibc_random.c), so that its frames draw the
 * very numbers the Linux build draws; the tests compare the two sequences. */
#ifndef TC_GLIBC_RANDOM_H
#define TC_GLIBC_RANDOM_H

#ifdef __cplusplus
extern "C" {
#endif

/* A fresh generator as srand(seed) leaves it; before any call the sequence is that of seed 1. */
void tc_glibc_srand(unsigned int seed);
/* The next value, 0 to RAND_MAX (2^31 - 1), exactly as glibc's rand(). */
int tc_glibc_rand(void);

#ifdef __cplusplus
}
#endif

#endif
