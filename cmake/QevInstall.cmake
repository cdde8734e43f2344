# What `cmake --install` puts into the prefix (GNUInstallDirs layout), the
# CMake package qevRptCalLib and the pkg-config file that a host
# application builds against, and the Debian package CPack makes of it.
#
#   bin/rptcalc
#   lib/libqev_platform.so          component runtime           qevRptCalLib::platform
#   lib/libqev_host.so              host services               qevRptCalLib::host
#   lib/libqev_schema.a             shipped schema              qevRptCalLib::schema
#   lib/libqev_utility.a            utility classes, linked in  qevRptCalLib::utility
#   lib/libqev_rptcal.a             report classes, linked in   qevRptCalLib::reports
#   lib/libqevRptCalLib.so          report component library (loaded by ProgID)
#   lib/libqevActiveXLib.so         utility component library (loaded by ProgID)
#   lib/libqev_sqlite_sums.so       exact sums for the SQLite ODBC driver (LoadExt)
#   lib/qev/classes.reg             the ProgIDs of both, relative to lib/
#   lib/cmake/qevRptCalLib/         the CMake package
#   lib/pkgconfig/qevRptCalLib.pc
#   include/qevRptCalLib/...        the public headers, in the source layout
#   share/qevRptCalLib/schema/...   the schema scripts of each SQL dialect
include(CMakePackageConfigHelpers)

set(QEV_INCLUDE_SUBDIR ${CMAKE_INSTALL_INCLUDEDIR}/qevRptCalLib)
set(QEV_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/qevRptCalLib)

# A host includes "platform/variant.h", "host/host.h"... as this tree does,
# whether it uses the installed tree or adds this project as a subdirectory.
target_include_directories(qev_platform PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
                                               $<INSTALL_INTERFACE:${QEV_INCLUDE_SUBDIR}>)
# The headers are C++20; a program that links a target gets the standard.
target_compile_features(qev_platform PUBLIC cxx_std_20)

# The same target names installed (qevRptCalLib::host) and in a build that
# adds this project as a subdirectory.
foreach(pair platform:qev_platform host:qev_host schema:qev_schema utility:qev_utility
             reports:qev_rptcal)
  string(REPLACE ":" ";" pair ${pair})
  list(GET pair 0 name)
  list(GET pair 1 target)
  set_target_properties(${target} PROPERTIES EXPORT_NAME ${name})
  add_library(qevRptCalLib::${name} ALIAS ${target})
endforeach()
set_target_properties(rptcalc PROPERTIES INSTALL_RPATH "$ORIGIN/${QEV_BIN_TO_LIB}")

install(TARGETS qev_platform qev_host qev_schema qev_utility qev_rptcal
        EXPORT qevRptCalLibTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS qevRptCalLib qevActiveXLib qev_sqlite_sums LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS rptcalc RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The public headers: what a host needs to create components, hand them the
# host services over SQLite or PostgreSQL, set up a database, or link the
# classes in. None of them includes a header of a third party.
install(DIRECTORY platform/ DESTINATION ${QEV_INCLUDE_SUBDIR}/platform FILES_MATCHING PATTERN "*.h")
install(FILES host/host.h host/host_lib.h host/query_object.h host/recordset.h host/database.h
              host/trace.h host/calculation.h host/column_types.h
        DESTINATION ${QEV_INCLUDE_SUBDIR}/host)
install(FILES schema/schema.h DESTINATION ${QEV_INCLUDE_SUBDIR}/schema)
install(FILES frame/catalogue.h frame/registration.h DESTINATION ${QEV_INCLUDE_SUBDIR}/frame)
install(FILES utility/server.h DESTINATION ${QEV_INCLUDE_SUBDIR}/utility)

install(DIRECTORY schema/sqlite schema/postgresql
        DESTINATION ${CMAKE_INSTALL_DATADIR}/qevRptCalLib/schema FILES_MATCHING PATTERN "*.sql")

# The installed class registry: both component libraries register
# themselves into a file of the build, whose library paths are then made
# relative to the registry's installed directory (lib/qev/).
set(QEV_INSTALLED_REGISTRY ${PROJECT_BINARY_DIR}/installed-registry/classes.reg)
add_custom_command(
  OUTPUT ${QEV_INSTALLED_REGISTRY}
  COMMAND ${CMAKE_COMMAND} -DRPTCALC=$<TARGET_FILE:rptcalc> -DREGISTRY=${QEV_INSTALLED_REGISTRY}
          -P ${PROJECT_SOURCE_DIR}/cmake/QevInstalledRegistry.cmake
  DEPENDS rptcalc qevRptCalLib qevActiveXLib ${PROJECT_SOURCE_DIR}/cmake/QevInstalledRegistry.cmake
  COMMENT "Writing the class registry of the installed tree")
add_custom_target(qev_installed_registry ALL DEPENDS ${QEV_INSTALLED_REGISTRY})
install(FILES ${QEV_INSTALLED_REGISTRY} DESTINATION ${CMAKE_INSTALL_LIBDIR}/qev)

# The CMake package.
install(EXPORT qevRptCalLibTargets NAMESPACE qevRptCalLib:: DESTINATION ${QEV_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/qevRptCalLibConfig.cmake.in
  ${PROJECT_BINARY_DIR}/qevRptCalLibConfig.cmake INSTALL_DESTINATION ${QEV_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/qevRptCalLibConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/qevRptCalLibConfig.cmake
              ${PROJECT_BINARY_DIR}/qevRptCalLibConfigVersion.cmake
        DESTINATION ${QEV_CMAKE_DIR})

# The pkg-config file finds the prefix from its own place, so it too
# survives a copy of the tree.
file(RELATIVE_PATH QEV_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" QEV_PC_TO_PREFIX "${QEV_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/qevRptCalLib.pc.in
               ${PROJECT_BINARY_DIR}/qevRptCalLib.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/qevRptCalLib.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The Debian package (./run package): the same tree under /usr.
# Only as the top-level project: a project that adds this one as a
# subdirectory packages itself.
if(PROJECT_IS_TOP_LEVEL)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME qevrptcallib)
  set(CPACK_PACKAGE_VENDOR "qevRptCalLib developers")
  set(CPACK_PACKAGE_CONTACT "qevRptCalLib developers <rptcal@localhost>")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  # A package for use, not for debugging: the debug information stays in the build.
  set(CPACK_STRIP_FILES ON)
  set(CPACK_QEV_STRIP ${CMAKE_STRIP})
  set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/QevStripArchives.cmake)
  set(CPACK_DEBIAN_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # dpkg-shlibdeps (run in the staged tree) finds the package's own libraries.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS usr/${CMAKE_INSTALL_LIBDIR})
  include(CPack)
endif()
