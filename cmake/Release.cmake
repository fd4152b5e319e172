# The release configuration that scripts/package builds (presets linux-release, windows-release):
# executables that start on a machine which never saw our build. Included before any target.
#
# Linux: libstdc++ and libgcc linked in, SDL2 linked in from the static build that scripts/setup
# makes (it opens X11, Wayland and the rest with dlopen), libepoxy carried beside the executables
# and found through the run path $ORIGIN. Only the C library, the graphics driver stack and the
# window-system and sound-server client libraries come from the system.
# Windows: the mingw-w64 toolchain file already links everything statically. The web build has
# nothing to carry: its one script holds everything.
option(TC_PACKAGE "Release packages: self-contained executables, install rules, CPack" OFF)

if(TC_PACKAGE AND NOT WIN32 AND NOT EMSCRIPTEN)
  set(TC_SDL2_STATIC_PREFIX "${PROJECT_SOURCE_DIR}/_deps/sdl2-static")
  if(NOT EXISTS "${TC_SDL2_STATIC_PREFIX}/lib/libSDL2.a")
    message(FATAL_ERROR "${TC_SDL2_STATIC_PREFIX}/lib/libSDL2.a not found: run scripts/setup "
                        "(without --linux) first")
  endif()
  # pkg-config looks here first, so PkgConfig::SDL2 resolves to the static library.
  list(PREPEND CMAKE_PREFIX_PATH "${TC_SDL2_STATIC_PREFIX}")
  add_link_options(-static-libstdc++ -static-libgcc LINKER:--as-needed)
  set(CMAKE_INSTALL_RPATH "\$ORIGIN")
endif()
