// Writes stand-in resources into a folder: `make_standins DIR [SONG_SECONDS]`.
#include <cstdlib>

#include "test_files.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  tc::test::WriteStandInResources(argv[1], 16, argc > 2 ? std::atof(argv[2]) : 3.0);
  return 0;
}
