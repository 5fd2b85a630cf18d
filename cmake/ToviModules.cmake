# tovi_add_module(<target> <file name> SOURCES ... [LIBRARIES ...] [NO_INSTALL]):
# a driver or dialect module, built as a MODULE library named exactly <file name>.so
# in the directory of libtovi.so.
function(tovi_add_module target file_name)
  cmake_parse_arguments(ARG "NO_INSTALL" "" "SOURCES;LIBRARIES" ${ARGN})
  add_library(${target} MODULE ${ARG_SOURCES})
  set_target_properties(${target} PROPERTIES
    PREFIX ""
    OUTPUT_NAME ${file_name}
    LIBRARY_OUTPUT_DIRECTORY ${TOVI_MODULE_DIR}
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    BUILD_RPATH "$ORIGIN"
    INSTALL_RPATH "$ORIGIN")
  target_link_libraries(${target} PRIVATE tovi::tovi tovi_build_options ${ARG_LIBRARIES})
  target_link_options(${target} PRIVATE -Wl,--no-undefined)
  if(NOT ARG_NO_INSTALL)
    install(TARGETS ${target} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  endif()
endfunction()
