# Install rules: headers, libtovi.so, the CMake package (tovi::tovi) and a pkg-config file.
include(CMakePackageConfigHelpers)

# Components: runtime (the library and its modules), dev (headers, CMake
# package, pkg-config file) and bench (tovibench), one Debian package each.
install(TARGETS tovi EXPORT toviTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/tovi
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev
        FILES_MATCHING PATTERN "*.hpp")

set(TOVI_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/tovi)
install(EXPORT toviTargets NAMESPACE tovi:: FILE toviTargets.cmake
        DESTINATION ${TOVI_CMAKE_DIR} COMPONENT dev)
export(EXPORT toviTargets NAMESPACE tovi::
       FILE ${PROJECT_BINARY_DIR}/toviTargets.cmake)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/toviConfig.cmake.in
  ${PROJECT_BINARY_DIR}/toviConfig.cmake INSTALL_DESTINATION ${TOVI_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/toviConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/toviConfig.cmake
              ${PROJECT_BINARY_DIR}/toviConfigVersion.cmake
        DESTINATION ${TOVI_CMAKE_DIR} COMPONENT dev)

# The .pc file locates the prefix from its own place, so it stays right for
# `cmake --install --prefix` chosen after configuring.
file(RELATIVE_PATH TOVI_PC_TO_PREFIX
     /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
# A run path only where the loader would not look anyway (a prefix of one's own).
set(TOVI_PC_RPATH "-Wl,-rpath,\${libdir} ")
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(TOVI_PC_RPATH "")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/tovi.pc.in ${PROJECT_BINARY_DIR}/tovi.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tovi.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT dev)

# Debian packages: `cpack -G DEB` in the build directory.
set(CPACK_PACKAGE_NAME tovi)
set(CPACK_PACKAGE_VENDOR "tovi")
set(CPACK_PACKAGE_CONTACT "tovi developers <tovi-dev@lists.tovi.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "C++ database access: SQLite, ODBC, embedded Firebird and ADO/Jet through one API")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL runtime dev bench)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libtovi0)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libtovi-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_BENCH_PACKAGE_NAME tovibench)
set(CPACK_DEBIAN_BENCH_PACKAGE_SECTION database)
# Dependencies by package name: dpkg-shlibdeps reads them off the libraries the
# binaries link (SQLite, unixODBC, the Firebird client, Boost); libtovi.so itself
# is found in the build tree.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/lib)
# A shlibs file for packages that link libtovi.so.0, and the ldconfig trigger that
# makes the library in the multiarch folder found after installing.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# What each road needs beyond the libraries the modules link: Debian's SQLite ODBC
# driver for /ODBC/SQLite3, the embedded Firebird engine for /InterBase_EMB (the
# client library alone only reaches a server).
set(CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS "libsqliteodbc, firebird3.0-server-core")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SUGGESTS "odbc-postgresql")
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libtovi0 (= ${PROJECT_VERSION}), libboost-dev")
set(CPACK_DEBIAN_BENCH_PACKAGE_DEPENDS "libtovi0 (= ${PROJECT_VERSION})")
include(CPack)
