// A minimal test runner for the Windows test programs, which run under Wine where no test
// framework is installed: named cases, checks that record a failure and go on, one result line
// per case on standard output, exit code 1 when anything failed.
#pragma once

#include <cstdio>

namespace tc::wintest {

struct CaseResult {
  int failures = 0;
};

inline CaseResult*& CurrentCase() {
  static CaseResult* current = nullptr;
  return current;
}

inline void RecordFailure(const char* file, int line, const char* what) {
  std::printf("  %s:%d: %s\n", file, line, what);
  if (CurrentCase() != nullptr) ++CurrentCase()->failures;
}

// Runs `body` as one case; returns true when it passed.
template <class Body>
bool RunCase(const char* name, Body&& body) {
  CaseResult result;
  CurrentCase() = &result;
  body();
  CurrentCase() = nullptr;
  std::printf("%s %s\n", result.failures == 0 ? "ok  " : "FAIL", name);
  std::fflush(stdout);
  return result.failures == 0;
}

struct Suite {
  int passed = 0;
  int failed = 0;
  template <class Body>
  void Case(const char* name, Body&& body) {
    if (RunCase(name, body)) {
      ++passed;
    } else {
      ++failed;
    }
  }
  int Finish(const char* program) const {
    std::printf("%s: %d passed, %d failed\n", program, passed, failed);
    return failed == 0 ? 0 : 1;
  }
};

}  // namespace tc::wintest

#define TC_CHECK(condition)                                                         \
  do {                                                                              \
    if (!(condition)) ::tc::wintest::RecordFailure(__FILE__, __LINE__, #condition); \
  } while (0)

// Checks and prints both values on failure.
#define TC_CHECK_MSG(condition, ...)                               \
  do {                                                             \
    if (!(condition)) {                                            \
      char tcMessage[512];                                         \
      std::snprintf(tcMessage, sizeof tcMessage, __VA_ARGS__);     \
      ::tc::wintest::RecordFailure(__FILE__, __LINE__, tcMessage); \
    }                                                              \
  } while (0)

// Records a failure; an expression, so a case can `return TC_FAIL("...");`.
#define TC_FAIL(what) ::tc::wintest::RecordFailure(__FILE__, __LINE__, what)
