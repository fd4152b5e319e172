# The project's version reaches the code as TC_VERSION, from a header generated at configure time
# (base/version.h in the build tree); link tc_version to see it.
configure_file(${PROJECT_SOURCE_DIR}/base/version.h.in
               ${PROJECT_BINARY_DIR}/generated/base/version.h @ONLY)
add_library(tc_version INTERFACE)
target_include_directories(tc_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
