# The web release: tumblecrate-<version>-web.zip with one top folder holding the page
# (index.html), its script (the program, its WebAssembly and the data in one file, so the page
# opens from a local file), the viewer's README (how to open and host the page; not the
# repository's), LICENSE and THIRD-PARTY-NOTICES. Included by Package.cmake in the web build;
# scripts/package runs CPack on it (preset web-release).
install(FILES $<TARGET_FILE:zephyrine-web> ${PROJECT_SOURCE_DIR}/app/web/index.html
        DESTINATION ${TC_PACKAGE_FOLDER})
install(FILES ${PROJECT_SOURCE_DIR}/docs/release/README-web.md DESTINATION ${TC_PACKAGE_FOLDER}
        RENAME README.md)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${TC_PACKAGE_FOLDER})

if(TC_PACKAGE)
  # What the program links: our libraries with third-party code, and the toolchain's runtime.
  set(linked "libtc_miniaudio.a|libtc_cgltf.a|libtc_stb.a|emscripten")
  set(notices "${PROJECT_BINARY_DIR}/THIRD-PARTY-NOTICES")
  add_custom_command(
    OUTPUT ${notices}
    COMMAND ${CMAKE_COMMAND} "-DLINKED=${linked}" "-DOUTPUT=${notices}"
            "-DBINARY_DIR=${PROJECT_BINARY_DIR}"
            "-DEMSCRIPTEN_FILE=${TC_EMSCRIPTEN_ROOT}/emcc.py"
            "-DMINIAUDIO_H=${TC_MINIAUDIO_DIR}/miniaudio.h" "-DCGLTF_H=${TC_CGLTF_DIR}/cgltf.h"
            "-DSTB_IMAGE_H=${TC_STB_DIR}/stb_image.h"
            "-DPROJECT_NAME_VERSION=${PROJECT_NAME} ${PROJECT_VERSION}"
            -P ${PROJECT_SOURCE_DIR}/cmake/ThirdPartyNotices.cmake
    DEPENDS zephyrine-web ${PROJECT_SOURCE_DIR}/cmake/ThirdPartyNotices.cmake
    COMMENT "Third-party notices of the web build"
    VERBATIM)
  add_custom_target(tc_package_contents DEPENDS ${notices} zephyrine-web)
  install(FILES ${notices} DESTINATION ${TC_PACKAGE_FOLDER})

  set(CPACK_PACKAGE_NAME tumblecrate)
  set(CPACK_PACKAGE_VENDOR "Tumblecrate")
  set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
  set(CPACK_PACKAGE_FILE_NAME "tumblecrate-${PROJECT_VERSION}-web")
  set(CPACK_GENERATOR ZIP)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_PACKAGE_DIRECTORY "${PROJECT_BINARY_DIR}/packages")
  set(CPACK_VERBATIM_VARIABLES ON)
  include(CPack)
endif()
