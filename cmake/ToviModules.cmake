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
  target_link_libraries(${target} PRIVATE tovi::tovi tovi_build_options tovi_library_options ${ARG_LIBRARIES})
  target_link_options(${target} PRIVATE -Wl,--no-undefined)
  if(NOT ARG_NO_INSTALL)
    install(TARGETS ${target} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime)
  endif()
endfunction()

# tovi_add_dialect(<target> <file name> SOURCES ... [LIBRARIES ...] [NO_INSTALL]
#                  [DRIVER <target> CONFORMANCE_CASE <file>]):
# a dialect module on dialects/common.
function(tovi_add_dialect target file_name)
  cmake_parse_arguments(ARG "NO_INSTALL" "DRIVER;CONFORMANCE_CASE" "SOURCES;LIBRARIES" ${ARGN})
  set(no_install)
  if(ARG_NO_INSTALL)
    set(no_install NO_INSTALL)
  endif()
  tovi_add_module(${target} ${file_name} ${no_install}
    SOURCES ${ARG_SOURCES}
    LIBRARIES tovi_dialect_common ${ARG_LIBRARIES})
  # A dialect reached through another's driver (a server through ODBC) joins the
  # conformance suite with its own case.
  if(ARG_CONFORMANCE_CASE)
    set_property(GLOBAL APPEND PROPERTY TOVI_DRIVER_MODULES ${target} ${ARG_DRIVER})
    get_filename_component(case_file ${ARG_CONFORMANCE_CASE} ABSOLUTE)
    set_property(GLOBAL APPEND PROPERTY TOVI_CONFORMANCE_CASES ${case_file})
  endif()
endfunction()

# tovi_add_driver(<target> <file name> SOURCES ... [LIBRARIES ...] DIALECT <target>
#                 [CONFORMANCE_CASE <file>] [NO_INSTALL]):
# a driver module on drivers/common, the dialect module it loads, and its case
# in the conformance suite. Tests of the driver depend on both modules through
# tovi_add_driver_test().
function(tovi_add_driver target file_name)
  cmake_parse_arguments(ARG "NO_INSTALL" "DIALECT;CONFORMANCE_CASE" "SOURCES;LIBRARIES" ${ARGN})
  set(no_install)
  if(ARG_NO_INSTALL)
    set(no_install NO_INSTALL)
  endif()
  tovi_add_module(${target} ${file_name} ${no_install}
    SOURCES ${ARG_SOURCES}
    LIBRARIES tovi_driver_common ${ARG_LIBRARIES})
  set_target_properties(${target} PROPERTIES TOVI_DIALECT "${ARG_DIALECT}")
  set_property(GLOBAL APPEND PROPERTY TOVI_DRIVER_MODULES ${target} ${ARG_DIALECT})
  if(ARG_CONFORMANCE_CASE)
    get_filename_component(case_file ${ARG_CONFORMANCE_CASE} ABSOLUTE)
    set_property(GLOBAL APPEND PROPERTY TOVI_CONFORMANCE_CASES ${case_file})
  endif()
endfunction()

# Every subdirectory of the current one that has a CMakeLists.txt: a new driver
# or dialect folder joins the build without an edit here.
function(tovi_add_subdirectories)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
       ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  list(REMOVE_ITEM children common)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/common/CMakeLists.txt)
    add_subdirectory(common)
  endif()
  foreach(child ${children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
