# Cross-build for 64-bit Windows with Debian's mingw-w64, POSIX thread model (miniaudio and the
# C++ runtime need std::mutex and friends, which the win32 thread model lacks).
# Everything is linked statically so the executables need no MinGW runtime DLLs beside them:
# Windows (and Wine) only has to supply d3d11, dxgi and d3dcompiler_47.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TC_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TC_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TC_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TC_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TC_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
