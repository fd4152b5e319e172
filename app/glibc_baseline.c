/* The released Linux executables run on every C library from version 2.35 on (Ubuntu 22.04, Mint
 * 21). The static libstdc++ of our build machine refers to arc4random, which glibc only gained in
 * 2.36, from std::random_device: that object is linked in through iostream's start-up code even
 * though nothing here draws a random number. Defined in the executable, the reference resolves
 * here and the executables never ask the system's C library for it. */
#include <errno.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/random.h>

uint32_t arc4random(void) {
  uint32_t value;
  ssize_t got;
  do {
    got = getrandom(&value, sizeof value, 0);
  } while (got < 0 && errno == EINTR);
  if (got != (ssize_t)sizeof value) abort();
  return value;
}
