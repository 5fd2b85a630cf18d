# Install rules: headers, libtovi.so, the CMake package (tovi::tovi) and a pkg-config file.
include(CMakePackageConfigHelpers)

install(TARGETS tovi EXPORT toviTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/tovi
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        FILES_MATCHING PATTERN "*.hpp")

set(TOVI_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/tovi)
install(EXPORT toviTargets NAMESPACE tovi:: FILE toviTargets.cmake
        DESTINATION ${TOVI_CMAKE_DIR})
export(EXPORT toviTargets NAMESPACE tovi::
       FILE ${PROJECT_BINARY_DIR}/toviTargets.cmake)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/toviConfig.cmake.in
  ${PROJECT_BINARY_DIR}/toviConfig.cmake INSTALL_DESTINATION ${TOVI_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/toviConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/toviConfig.cmake
              ${PROJECT_BINARY_DIR}/toviConfigVersion.cmake
        DESTINATION ${TOVI_CMAKE_DIR})

# The .pc file locates the prefix from its own place, so it stays right for
# `cmake --install --prefix` chosen after configuring.
file(RELATIVE_PATH TOVI_PC_TO_PREFIX
     /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(${PROJECT_SOURCE_DIR}/cmake/tovi.pc.in ${PROJECT_BINARY_DIR}/tovi.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tovi.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
