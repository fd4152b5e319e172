# Writes THIRD-PARTY-NOTICES from what the linker actually used: it reads the link maps of the
# shipped executables, and every archive or shared library in them that is not ours and not the
# system's C library must map to a license text here, or the build fails. So the notices follow
# the link line, not a hand-kept list.
#
#   cmake -DMAPS=a.map|b.map -DOUTPUT=... -DBINARY_DIR=... -DSDL2_LICENSE=... -DMINIAUDIO_H=...
#         -DCGLTF_H=... -DSTB_IMAGE_H=... -DPROJECT_NAME_VERSION=... -P ThirdPartyNotices.cmake
# The web build's linker writes no such map: it names what it links in LINKED (a|b|...) instead,
# "emscripten" standing for the toolchain's runtime (its C and C++ libraries and page glue).

# The license comment of a single-header library: from the line holding `marker` to the end of
# that comment.
function(comment_from header marker out)
  file(READ "${header}" text)
  string(FIND "${text}" "${marker}" start)
  if(start EQUAL -1)
    message(FATAL_ERROR "THIRD-PARTY-NOTICES: no \"${marker}\" in ${header}")
  endif()
  string(SUBSTRING "${text}" ${start} -1 text)
  string(FIND "${text}" "*/" end)
  string(SUBSTRING "${text}" 0 ${end} text)
  string(STRIP "${text}" text)
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# A Debian package's own copyright file, and its name and version, for a file it installed.
function(debian_package file out_package out_version out_copyright)
  file(REAL_PATH "${file}" real)
  execute_process(COMMAND dpkg-query -S "${real}" OUTPUT_VARIABLE owner RESULT_VARIABLE failed
                  ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(failed)
    # usr-merged systems register some files under /lib rather than /usr/lib.
    string(REGEX REPLACE "^/usr/lib/" "/lib/" alternative "${real}")
    execute_process(COMMAND dpkg-query -S "${alternative}" OUTPUT_VARIABLE owner
                    RESULT_VARIABLE failed ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  endif()
  if(failed)
    message(FATAL_ERROR "THIRD-PARTY-NOTICES: ${file} is linked, but no Debian package owns it "
                        "and it has no license text here")
  endif()
  string(REGEX REPLACE ":.*" "" package "${owner}")
  execute_process(COMMAND dpkg-query -W -f=\${Version} "${package}" OUTPUT_VARIABLE version)
  set(copyright "/usr/share/doc/${package}/copyright")
  if(NOT EXISTS "${copyright}")
    message(FATAL_ERROR "THIRD-PARTY-NOTICES: ${copyright} (for ${file}) is missing")
  endif()
  set(${out_package} "${package}" PARENT_SCOPE)
  set(${out_version} "${version}" PARENT_SCOPE)
  set(${out_copyright} "${copyright}" PARENT_SCOPE)
endfunction()

# Archives that contributed members, and the shared libraries loaded.
string(REPLACE "|" ";" MAPS "${MAPS}")
set(linked "")
foreach(map ${MAPS})
  file(STRINGS "${map}" lines)
  set(in_members FALSE)
  foreach(line IN LISTS lines)
    if(line MATCHES "^Archive member included")
      set(in_members TRUE)
    elseif(line MATCHES "^(Discarded input sections|Allocating common symbols|Memory Configuration)")
      set(in_members FALSE)
    elseif(in_members AND line MATCHES "^([^ \t(][^(]*\\.a)\\(")
      list(APPEND linked "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^LOAD (.*\\.so[.0-9]*)$")
      list(APPEND linked "${CMAKE_MATCH_1}")
    endif()
  endforeach()
endforeach()
if(DEFINED LINKED)
  string(REPLACE "|" ";" extra "${LINKED}")
  list(APPEND linked ${extra})
endif()
list(REMOVE_DUPLICATES linked)

# The order of the notices, whatever order the linker met them in.
set(components sdl2 epoxy miniaudio cgltf stb gcc mingw emscripten)
foreach(c ${components})
  set(notice_${c} "")
endforeach()
set(other_packages "")

foreach(path ${linked})
  get_filename_component(name "${path}" NAME)
  if(name MATCHES "^lib(c|m|mvec|pthread|dl|rt)\\.so|^libc_nonshared\\.a$|^ld-linux")
    continue()  # the system's C library, never carried
  elseif(name STREQUAL "libtc_miniaudio.a")
    comment_from("${MINIAUDIO_H}" "This software is available as a choice of the following licenses" text)
    set(notice_miniaudio "miniaudio (miniaudio.h, compiled in)\n\n${text}")
  elseif(name STREQUAL "libtc_cgltf.a")
    comment_from("${CGLTF_H}" "cgltf is distributed under MIT license" text)
    comment_from("${CGLTF_H}" "Copyright (c) 2010 Serge A. Zaitsev" jsmn)
    string(CONCAT notice_cgltf "cgltf (cgltf.h, compiled in)\n\n${text}\n\n"
                     "cgltf carries the jsmn JSON parser:\n\n${jsmn}")
  elseif(name STREQUAL "emscripten")
    debian_package("${EMSCRIPTEN_FILE}" package version copyright)
    file(READ "${copyright}" text)
    string(CONCAT notice_emscripten "The emscripten runtime (musl libc, libc++, libc++abi and the "
                     "page glue; Debian package ${package} ${version}, compiled in)\n\n${text}")
  elseif(name STREQUAL "libtc_stb.a")
    comment_from("${STB_IMAGE_H}" "This software is available under 2 licenses" text)
    set(notice_stb "stb_image (stb_image.h, compiled in)\n\n${text}")
  elseif(name STREQUAL "libSDL2.a")
    file(READ "${SDL2_LICENSE}" text)
    string(STRIP "${text}" text)
    set(notice_sdl2 "SDL2 (Simple DirectMedia Layer, linked in statically)\n\n${text}")
  elseif(NOT IS_ABSOLUTE "${path}" OR path MATCHES "^${BINARY_DIR}/")
    continue()  # our own code
  elseif(name MATCHES "^lib(stdc\\+\\+|supc\\+\\+|gcc|gcc_eh)\\.a$")
    debian_package("${path}" package version copyright)
    file(READ "${copyright}" text)
    string(FIND "${text}" "GCC RUNTIME LIBRARY EXCEPTION" start)
    string(FIND "${text}" "requirements of the license of GCC." end)
    if(start EQUAL -1 OR end EQUAL -1)
      message(FATAL_ERROR "THIRD-PARTY-NOTICES: no GCC Runtime Library Exception in ${copyright}")
    endif()
    math(EXPR length "${end} - ${start} + 35")
    string(SUBSTRING "${text}" ${start} ${length} text)
    string(CONCAT notice_gcc
        "The GCC runtime libraries (libstdc++, libgcc; Debian package ${package} ${version}, "
        "linked in statically)\n\nLicensed under the GNU General Public License version 3 or "
        "later with version 3.1 of the GCC Runtime Library Exception, which allows the "
        "combined program to be distributed under terms of our choice:\n\n${text}")
  elseif(path MATCHES "/x86_64-w64-mingw32/lib/")
    debian_package("${path}" package version copyright)
    file(READ "${copyright}" text)
    string(CONCAT notice_mingw "The mingw-w64 runtime (C runtime start-up, winpthreads, import libraries; "
                     "Debian package ${package} ${version}, linked in statically)\n\n${text}")
  elseif(name MATCHES "^libepoxy\\.so")
    debian_package("${path}" package version copyright)
    file(READ "${copyright}" text)
    string(CONCAT notice_epoxy "libepoxy (Debian package ${package} ${version}, carried beside the "
                     "executables as libepoxy.so.0)\n\n${text}")
  else()
    message(FATAL_ERROR "THIRD-PARTY-NOTICES: ${path} is linked into the executables but has "
                        "no license text here: add it to cmake/ThirdPartyNotices.cmake")
  endif()
endforeach()

set(rule "================================================================================")
string(CONCAT out "${PROJECT_NAME_VERSION} contains the following third-party software. Each part keeps "
        "its own license, reproduced in full below.\n")
foreach(c ${components})
  if(NOT notice_${c} STREQUAL "")
    string(APPEND out "\n${rule}\n${notice_${c}}\n")
  endif()
endforeach()
file(WRITE "${OUTPUT}" "${out}")
