# The sanitizer build (preset "fuzz"): clang with AddressSanitizer (LeakSanitizer included) and
# UndefinedBehaviorSanitizer on every unit, third-party ones too, plus libFuzzer's coverage
# instrumentation, so that one build serves both the fuzz targets (tests/fuzz) and the sanitized
# test set. Undefined behaviour aborts, so a report fails the test that caused it. The runtime
# options (suppressions, exit codes) come with the fuzz test preset and scripts/fuzz.
option(TC_SANITIZE "Build with ASan + UBSan + fuzzer coverage (clang) and add the fuzz targets" OFF)
if(TC_SANITIZE)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang" OR NOT CMAKE_C_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "TC_SANITIZE needs clang (libFuzzer): use the fuzz preset")
  endif()
  add_compile_options(-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
