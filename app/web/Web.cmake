# The page: zephyrine-web.js (the program, its WebAssembly and the five asset files in one script,
# so the page also opens from a local file, where a browser fetches nothing) beside index.html.
# Included by app/CMakeLists.txt in the web build only.
set(TC_WEB_RESOURCES mesh2.glb texture1.png texture2.png texture3.png audio.mp3)
set(embed_options)
set(embedded_files)
foreach(file ${TC_WEB_RESOURCES})
  list(APPEND embed_options "SHELL:--embed-file ${PROJECT_SOURCE_DIR}/resources/${file}@/resources/${file}")
  list(APPEND embedded_files ${PROJECT_SOURCE_DIR}/resources/${file})
endforeach()

add_executable(zephyrine-web main_web.cpp)
set_target_properties(zephyrine-web PROPERTIES SUFFIX ".js"
                      LINK_DEPENDS "${embedded_files};${CMAKE_CURRENT_SOURCE_DIR}/web/index.html")
target_compile_definitions(zephyrine-web PRIVATE TC_WIDTH=1280 TC_HEIGHT=720)
target_link_libraries(zephyrine-web PRIVATE tc_show tc_glibc_random tc_version)
target_link_options(zephyrine-web PRIVATE
  ${embed_options}
  -sSINGLE_FILE=1
  -sENVIRONMENT=web
  # The decoded song (32-bit float, both channels) takes about 70 MB.
  -sALLOW_MEMORY_GROWTH=1
  -sINITIAL_MEMORY=134217728
  -sEXIT_RUNTIME=0
  "SHELL:-sEXPORTED_FUNCTIONS=_main,_tc_web_start,_tc_web_play_again,_tc_web_frame_interval"
  "SHELL:-sEXPORTED_RUNTIME_METHODS=ccall,FS")
add_custom_command(TARGET zephyrine-web POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_CURRENT_SOURCE_DIR}/web/index.html
          $<TARGET_FILE_DIR:zephyrine-web>/index.html
  VERBATIM)
