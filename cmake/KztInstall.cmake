# The installable kit: `cmake --install build [--prefix DIR]` puts the module, the host
# library and kzt-station, the public headers under include/kzt00318/, the sample store's
# SQL, a CMake package (find_package(kzt00318)) and a pkg-config file into the prefix;
# `cpack -G DEB` in build/ makes a Debian package of the same. Every path inside the kit
# is relative, so it works wherever it is unpacked.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KZT_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/kzt00318)

# The build tree has the kit's layout (bin/, lib/), so these targets are built with their
# install run paths. Rewriting a build run path at install instead needs it padded with an
# empty entry, which the loader reads as the current folder: a library planted there
# would be loaded.
set(KZT_STATION_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
if(NOT CMAKE_INSTALL_LIBDIR STREQUAL "lib")
  list(APPEND KZT_STATION_RPATH "$ORIGIN/../lib") # the build tree's
endif()
set_target_properties(kzt00318 kzthost kztplatform PROPERTIES INSTALL_RPATH "$ORIGIN")
set_target_properties(kzt-station PROPERTIES INSTALL_RPATH "${KZT_STATION_RPATH}")
set_target_properties(kzt00318 kzthost kztplatform kzt-station PROPERTIES
  BUILD_WITH_INSTALL_RPATH ON)

install(TARGETS kzt00318 kzthost kztplatform LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS kzt-station RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# C hosts need kzt00318.h alone; C++ hosts also the entry point with its variant type, and
# the host library's presentation seam and connection settings.
install(FILES package/kzt00318.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kzt00318)
foreach(header
    client/Cli_kzt00318.h server/module_global.h
    platform/platform_global.h platform/error.h platform/text.h platform/variant.h platform/datapacket.h
    platform/clientdataset.h platform/filterexpression.h
    host/host_global.h host/settings.h
    station/hostlib/presentation.h)
  get_filename_component(_dir ${header} DIRECTORY)
  install(FILES ${header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kzt00318/${_dir})
endforeach()

install(FILES station/sample/schema.sql station/sample/data.sql
  DESTINATION ${CMAKE_INSTALL_DATADIR}/kzt00318/sample)
install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

file(RELATIVE_PATH KZT_CMAKEDIR_TO_PREFIX /${KZT_INSTALL_CMAKEDIR} /)
string(REGEX REPLACE "/$" "" KZT_CMAKEDIR_TO_PREFIX "${KZT_CMAKEDIR_TO_PREFIX}")
file(RELATIVE_PATH KZT_PCDIR_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" KZT_PCDIR_TO_PREFIX "${KZT_PCDIR_TO_PREFIX}")
configure_file(cmake/kzt00318Config.cmake.in kit/kzt00318Config.cmake @ONLY)
write_basic_package_version_file(kit/kzt00318ConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
configure_file(cmake/kzt00318.pc.in kit/kzt00318.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/kit/kzt00318Config.cmake
  ${PROJECT_BINARY_DIR}/kit/kzt00318ConfigVersion.cmake DESTINATION ${KZT_INSTALL_CMAKEDIR})
install(FILES ${PROJECT_BINARY_DIR}/kit/kzt00318.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kzt00318)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Observation module of a point-of-sale till, with its C interface and station")
set(CPACK_PACKAGE_CONTACT "kzt00318 maintainers <kzt00318@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so invisible to the library scan: Qt's platform plugins and SOCI's
# SQLite backend (the default store).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libsoci-sqlite3-4.0")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation, libsoci-postgresql4.0, libsoci-odbc4.0")
include(CPack)
