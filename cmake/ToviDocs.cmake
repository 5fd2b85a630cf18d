# The API reference: cmake --build build --target docs (HTML in build/docs/html).
# Every warning fails the target, so an undocumented public name cannot land.
find_package(Doxygen QUIET)
if(NOT DOXYGEN_FOUND)
  message(STATUS "doxygen not found: no 'docs' target (Debian: apt-get install doxygen)")
  return()
endif()

set(DOXYGEN_OUTPUT ${PROJECT_BINARY_DIR}/docs)
set(DOXYGEN_WARN_AS_ERROR FAIL_ON_WARNINGS)
configure_file(${PROJECT_SOURCE_DIR}/docs/Doxyfile.in ${DOXYGEN_OUTPUT}/Doxyfile @ONLY)
file(GLOB_RECURSE TOVI_PUBLIC_HEADERS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/include/tovi/*.hpp)
add_custom_command(
  OUTPUT ${DOXYGEN_OUTPUT}/html/index.html
  COMMAND ${DOXYGEN_EXECUTABLE} ${DOXYGEN_OUTPUT}/Doxyfile
  DEPENDS ${TOVI_PUBLIC_HEADERS} ${PROJECT_SOURCE_DIR}/docs/Doxyfile.in
          ${PROJECT_SOURCE_DIR}/docs/reference.md
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  COMMENT "API reference (doxygen, warnings are errors)"
  VERBATIM)
add_custom_target(docs DEPENDS ${DOXYGEN_OUTPUT}/html/index.html)
