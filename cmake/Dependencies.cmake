# Third-party libraries. Headers are looked for on the system first, then in the local prefix
# _deps/include that scripts/setup fills from Debian's archive. Each header-only library gets its
# implementation compiled once, in a translation unit of its own, with warnings off.

set(TC_LOCAL_INCLUDE "${PROJECT_SOURCE_DIR}/_deps/include")

function(tc_find_header var header)
  find_path(${var} ${header}
    PATHS /usr/include /usr/include/stb ${TC_LOCAL_INCLUDE}
    NO_CMAKE_FIND_ROOT_PATH)
  if(NOT ${var})
    message(FATAL_ERROR "${header} not found: run scripts/setup first")
  endif()
endfunction()

tc_find_header(TC_MINIAUDIO_DIR miniaudio.h)
tc_find_header(TC_CGLTF_DIR cgltf.h)
tc_find_header(TC_STB_DIR stb_image.h)

# A cross-compiler must not see the whole of the host's /usr/include, so each library's headers
# are exposed from a folder of their own.
set(TC_THIRD_PARTY_INCLUDE "${PROJECT_BINARY_DIR}/third_party_include")
foreach(h miniaudio.h:${TC_MINIAUDIO_DIR} cgltf.h:${TC_CGLTF_DIR}
          stb_image.h:${TC_STB_DIR} stb_image_write.h:${TC_STB_DIR})
  string(REPLACE ":" ";" parts "${h}")
  list(GET parts 0 name)
  list(GET parts 1 dir)
  if(EXISTS "${dir}/${name}")
    configure_file("${dir}/${name}" "${TC_THIRD_PARTY_INCLUDE}/${name}" COPYONLY)
  endif()
endforeach()

set(TC_IMPL_DIR "${PROJECT_SOURCE_DIR}/cmake/impl")

add_library(tc_miniaudio STATIC ${TC_IMPL_DIR}/miniaudio_impl.c)
target_include_directories(tc_miniaudio SYSTEM PUBLIC ${TC_THIRD_PARTY_INCLUDE})
target_compile_options(tc_miniaudio PRIVATE -w)
if(TC_SANITIZE)
  # Its MurmurHash of every file path indexes blocks backwards through an unsigned product, which
  # UBSan reports as pointer overflow (miniaudio 0.11.22, ma_hash_getblock) on every song opened;
  # the other checks stay on.
  target_compile_options(tc_miniaudio PRIVATE -fno-sanitize=pointer-overflow)
endif()
if(NOT WIN32 AND NOT EMSCRIPTEN)
  find_package(Threads REQUIRED)
  target_link_libraries(tc_miniaudio PUBLIC Threads::Threads m ${CMAKE_DL_LIBS})
endif()

add_library(tc_cgltf STATIC ${TC_IMPL_DIR}/cgltf_impl.c)
target_include_directories(tc_cgltf SYSTEM PUBLIC ${TC_THIRD_PARTY_INCLUDE})
target_compile_options(tc_cgltf PRIVATE -w)

add_library(tc_stb STATIC ${TC_IMPL_DIR}/stb_impl.c)
target_include_directories(tc_stb SYSTEM PUBLIC ${TC_THIRD_PARTY_INCLUDE})
target_compile_options(tc_stb PRIVATE -w)
if(NOT WIN32)
  target_link_libraries(tc_stb PUBLIC m)
endif()

# The scene's textures: stb_image with the PNG decoder alone, its symbols private to the unit.
add_library(tc_stb_png STATIC ${TC_IMPL_DIR}/stb_png_impl.c)
target_include_directories(tc_stb_png SYSTEM PRIVATE ${TC_THIRD_PARTY_INCLUDE})
target_include_directories(tc_stb_png PUBLIC ${TC_IMPL_DIR})
target_compile_options(tc_stb_png PRIVATE -w)
if(NOT WIN32)
  target_link_libraries(tc_stb_png PUBLIC m)
endif()

if(NOT WIN32 AND NOT EMSCRIPTEN)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
  pkg_check_modules(EPOXY REQUIRED IMPORTED_TARGET epoxy)
endif()

find_package(GTest QUIET)
find_package(benchmark QUIET)
