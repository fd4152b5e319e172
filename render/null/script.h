// What the tests ask of the null backend and its window, through the environment (only the
// tests' null build reads it): a start-up step to fail, when to report a close request, and a file
// that receives one line per create, release and texture bind, in call order.
//   TC_NULL_FAIL=<verb>           that verb fails, e.g. LoadSceneResources
//   TC_NULL_QUIT_AFTER_PUMPS=<n>  the n-th PumpWindowEvents reports a close (1: before any frame)
//   TC_NULL_QUIT_AFTER_MS=<ms>    the first pump this long after the first one reports one (a slow
//                                 start-up on a busy machine takes nothing from the song's time)
//   TC_NULL_LOG=<path>            where the lines are appended
#pragma once

#include "base/status.h"

namespace tc {

// A start-up step: fails when TC_NULL_FAIL names `verb`, else logs it and succeeds.
StartupStatus NullStep(const char* verb);
bool NullStepFails(const char* verb);
// Appends one formatted line to TC_NULL_LOG, when set.
void NullLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace tc
