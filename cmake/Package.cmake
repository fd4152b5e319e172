# Install rules and the release archives. Everything lands in one top folder,
# tumblecrate-<version>/: the executables, resources/, the viewer's README with the pictures it
# shows in docs/, LICENSE and THIRD-PARTY-NOTICES (plus, on Linux, the one shared library carried
# beside the executables). CPack packs that folder
# as a .tar.gz on Linux and a .zip on Windows (the web build's zip: PackageWeb.cmake);
# scripts/package runs it for all three.
set(TC_PACKAGE_FOLDER "tumblecrate-${PROJECT_VERSION}")
if(EMSCRIPTEN)
  include(${CMAKE_CURRENT_LIST_DIR}/PackageWeb.cmake)
  return()
endif()
if(WIN32)
  set(TC_PACKAGE_PLATFORM windows-x86_64)
else()
  set(TC_PACKAGE_PLATFORM linux-x86_64)
endif()

set(TC_SHIPPED_EXECUTABLES "")
foreach(exe zephyrine-1080 zephyrine-720 zephyrine-capture)
  if(TARGET ${exe})
    list(APPEND TC_SHIPPED_EXECUTABLES ${exe})
  endif()
endforeach()

if(TC_PACKAGE AND NOT WIN32)
  foreach(exe ${TC_SHIPPED_EXECUTABLES})
    target_sources(${exe} PRIVATE ${PROJECT_SOURCE_DIR}/app/glibc_baseline.c)
  endforeach()
  install(TARGETS ${TC_SHIPPED_EXECUTABLES} RUNTIME_DEPENDENCY_SET tc_carried
          RUNTIME DESTINATION ${TC_PACKAGE_FOLDER})
  # Only libepoxy: Debian has no static build of it, and it needs nothing but the C library (it
  # opens libGL / libEGL itself). Everything else the executables need is the system's own.
  install(RUNTIME_DEPENDENCY_SET tc_carried
          PRE_INCLUDE_REGEXES "^libepoxy\\.so"
          PRE_EXCLUDE_REGEXES ".*"
          DESTINATION ${TC_PACKAGE_FOLDER})
else()
  install(TARGETS ${TC_SHIPPED_EXECUTABLES} RUNTIME DESTINATION ${TC_PACKAGE_FOLDER})
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/ DESTINATION ${TC_PACKAGE_FOLDER}/resources)

# The archive's README is written for whoever unpacked it (docs/release/README.md), not the
# repository's. Its picture links are relative to the top folder and name the same paths as in
# the source tree, so each picture it links to is shipped at that path. Windows gets README.txt
# with CR LF line ends, so that a double-click opens it in Notepad.
set(TC_RELEASE_README ${PROJECT_SOURCE_DIR}/docs/release/README.md)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${TC_RELEASE_README})
file(READ ${TC_RELEASE_README} readme)
string(REGEX MATCHALL "\\]\\([^):]+\\)" links "${readme}")
foreach(link ${links})
  string(REGEX REPLACE "^\\]\\((.*)\\)$" "\\1" picture "${link}")
  get_filename_component(folder "${picture}" DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/${picture} DESTINATION ${TC_PACKAGE_FOLDER}/${folder})
endforeach()
if(WIN32)
  string(REPLACE "\r\n" "\n" readme "${readme}")
  string(REPLACE "\n" "\r\n" readme "${readme}")
  file(WRITE ${PROJECT_BINARY_DIR}/release/README.txt "${readme}")
  install(FILES ${PROJECT_BINARY_DIR}/release/README.txt DESTINATION ${TC_PACKAGE_FOLDER})
else()
  install(FILES ${TC_RELEASE_README} DESTINATION ${TC_PACKAGE_FOLDER})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${TC_PACKAGE_FOLDER})

if(TC_PACKAGE)
  # The linker's own record of what it linked feeds the third-party notices.
  set(maps "")
  foreach(exe ${TC_SHIPPED_EXECUTABLES})
    set(map "${PROJECT_BINARY_DIR}/link-maps/${exe}.map")
    target_link_options(${exe} PRIVATE "LINKER:-Map=${map}")
    list(APPEND maps "${map}")
  endforeach()
  file(MAKE_DIRECTORY "${PROJECT_BINARY_DIR}/link-maps")
  string(REPLACE ";" "|" maps "${maps}")
  set(notices "${PROJECT_BINARY_DIR}/THIRD-PARTY-NOTICES")
  add_custom_command(
    OUTPUT ${notices}
    COMMAND ${CMAKE_COMMAND} "-DMAPS=${maps}" "-DOUTPUT=${notices}"
            "-DBINARY_DIR=${PROJECT_BINARY_DIR}"
            "-DSDL2_LICENSE=${PROJECT_SOURCE_DIR}/_deps/sdl2-static/LICENSE.txt"
            "-DMINIAUDIO_H=${TC_MINIAUDIO_DIR}/miniaudio.h" "-DCGLTF_H=${TC_CGLTF_DIR}/cgltf.h"
            "-DSTB_IMAGE_H=${TC_STB_DIR}/stb_image.h"
            "-DPROJECT_NAME_VERSION=${PROJECT_NAME} ${PROJECT_VERSION}"
            -P ${PROJECT_SOURCE_DIR}/cmake/ThirdPartyNotices.cmake
    DEPENDS ${TC_SHIPPED_EXECUTABLES} ${PROJECT_SOURCE_DIR}/cmake/ThirdPartyNotices.cmake
    COMMENT "Third-party notices from the link maps"
    VERBATIM)
  # What the archive holds, built by scripts/package (the rest of the tree is not needed).
  add_custom_target(tc_package_contents DEPENDS ${notices} ${TC_SHIPPED_EXECUTABLES})
  install(FILES ${notices} DESTINATION ${TC_PACKAGE_FOLDER})

  set(CPACK_PACKAGE_NAME tumblecrate)
  set(CPACK_PACKAGE_VENDOR "Tumblecrate")
  set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
  set(CPACK_PACKAGE_FILE_NAME "tumblecrate-${PROJECT_VERSION}-${TC_PACKAGE_PLATFORM}")
  if(WIN32)
    set(CPACK_GENERATOR ZIP)
  else()
    set(CPACK_GENERATOR TGZ)
  endif()
  # The install rules already put everything under the versioned top folder.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_PACKAGE_DIRECTORY "${PROJECT_BINARY_DIR}/packages")
  set(CPACK_VERBATIM_VARIABLES ON)
  include(CPack)

  if(NOT WIN32)
    enable_testing()
    add_subdirectory(tests/package)
  endif()
endif()
