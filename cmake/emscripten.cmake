# The web build's toolchain: Debian's emscripten package as it is installed, with its prebuilt
# library cache (EM_CACHE unset, so nothing is built or downloaded on first use). Its optimiser
# needs Node to find the acorn parser in Debian's shared module folder, at link time only.
set(TC_EMSCRIPTEN_ROOT "/usr/share/emscripten" CACHE PATH "emscripten's installed root")
set(TC_NODE_MODULES "/usr/share/nodejs" CACHE PATH "Debian's shared Node modules (node-acorn)")
include("${TC_EMSCRIPTEN_ROOT}/cmake/Modules/Platform/Emscripten.cmake")
foreach(lang C CXX)
  set(CMAKE_${lang}_LINKER_LAUNCHER
      "${CMAKE_COMMAND};-E;env;--unset=EM_CACHE;NODE_PATH=${TC_NODE_MODULES}")
endforeach()
