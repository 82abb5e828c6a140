# The installable kit: `cmake --install build [--prefix DIR]` puts the module with the two
# libraries it needs, kzt-station and its man page, the public headers under
# include/kzt00318/, the sample store's SQL, a CMake package (find_package(kzt00318)) and a
# pkg-config file into the prefix; `cpack` in build/ makes a Debian package of the same.
# Every path inside the kit is relative, so it works wherever it is unpacked.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KZT_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/kzt00318)

# The helper libraries keep their public names with a soname each: C++ hosts link
# libkztplatform for the variant type the entry point takes, and libkzthost stands where
# a till's own host library would, so neither can hide in a private folder.
set_target_properties(kzthost kztplatform PROPERTIES
  VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
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

# C hosts need kzt00318.h alone; C++ hosts the entry point and the variant type with the
# text conversions. They are copied flat into include/kzt00318/, their includes of one
# another spelt <kzt00318/NAME.h>, so a host puts nothing of ours but include/ on its path.
set(_kzt_public ${PROJECT_BINARY_DIR}/include/kzt00318)
function(kzt_public_headers target)
  set(files)
  foreach(header IN LISTS ARGN)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${header})
    file(READ ${PROJECT_SOURCE_DIR}/${header} text)
    string(REGEX REPLACE "#include \"[a-z]+/([A-Za-z0-9_]+\\.h)\"" "#include <kzt00318/\\1>"
      text "${text}")
    if(text MATCHES "#include \"")
      message(FATAL_ERROR "${header} is installed for hosts but includes a header that is not")
    endif()
    get_filename_component(name ${header} NAME)
    # Written only when it changes, so that a reconfigure rebuilds nothing.
    set(old "")
    if(EXISTS ${_kzt_public}/${name})
      file(READ ${_kzt_public}/${name} old)
    endif()
    if(NOT old STREQUAL text)
      file(WRITE ${_kzt_public}/${name} "${text}")
    endif()
    list(APPEND files ${_kzt_public}/${name})
  endforeach()
  target_sources(${target} PUBLIC FILE_SET HEADERS BASE_DIRS ${PROJECT_BINARY_DIR}/include
    FILES ${files})
endfunction()
kzt_public_headers(kzt00318 package/kzt00318.h client/Cli_kzt00318.h server/module_global.h)
kzt_public_headers(kztplatform platform/variant.h platform/datapacket.h platform/error.h
  platform/text.h platform/platform_global.h)
# C++ hosts that call the entry point link the variant type's library too.
target_link_libraries(kzt00318 INTERFACE kztplatform)

# libkzthost is exported only so that a host's linker finds the module's own dependency.
install(TARGETS kzt00318 kztplatform kzthost EXPORT kzt00318Targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  FILE_SET HEADERS DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS kzt-station RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(EXPORT kzt00318Targets NAMESPACE kzt00318:: DESTINATION ${KZT_INSTALL_CMAKEDIR})
configure_package_config_file(cmake/kzt00318Config.cmake.in kit/kzt00318Config.cmake
  INSTALL_DESTINATION ${KZT_INSTALL_CMAKEDIR})
write_basic_package_version_file(kit/kzt00318ConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/kit/kzt00318Config.cmake
  ${PROJECT_BINARY_DIR}/kit/kzt00318ConfigVersion.cmake DESTINATION ${KZT_INSTALL_CMAKEDIR})

file(RELATIVE_PATH KZT_PCDIR_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" KZT_PCDIR_TO_PREFIX "${KZT_PCDIR_TO_PREFIX}")
configure_file(cmake/kzt00318.pc.in kit/kzt00318.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/kit/kzt00318.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(FILES station/sample/schema.sql station/sample/data.sql
  DESTINATION ${CMAKE_INSTALL_DATADIR}/kzt00318/sample)
install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

# The man page is kzt-station's own --help, so the two cannot disagree; Debian's changelog
# and the man page go in compressed, as Debian policy has them.
find_program(KZT_HELP2MAN help2man REQUIRED)
find_program(KZT_GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/kit/kzt-station.1.gz
  COMMAND ${KZT_HELP2MAN} --no-info --no-discard-stderr
    "--name=plays the host of the kzt00318 observation module" --output=kit/kzt-station.1
    $<TARGET_FILE:kzt-station>
  COMMAND ${KZT_GZIP} -9nf kit/kzt-station.1
  DEPENDS kzt-station
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR} VERBATIM)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/kit/changelog.gz
  COMMAND ${KZT_GZIP} -9nc ${PROJECT_SOURCE_DIR}/package/debian/changelog > kit/changelog.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/package/debian/changelog
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR})
# What the kit holds, built by `cmake --build build --target kit` and by cpack, which builds
# nothing else (no test, no benchmark). A sanitizer build is for the tests, not for
# installing, and its station is not run to write a man page.
if(KZT_SANITIZE)
  set(_kzt_kit_in_all)
else()
  set(_kzt_kit_in_all ALL)
endif()
add_custom_target(kit ${_kzt_kit_in_all}
  DEPENDS ${PROJECT_BINARY_DIR}/kit/kzt-station.1.gz ${PROJECT_BINARY_DIR}/kit/changelog.gz)
add_dependencies(kit kzt00318 kzthost kztplatform kzt-station)
install(FILES ${PROJECT_BINARY_DIR}/kit/kzt-station.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_BINARY_DIR}/kit/changelog.gz package/debian/copyright
  CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)
configure_file(cmake/KztBuildKit.cmake.in kit/KztBuildKit.cmake @ONLY)
set(CPACK_INSTALL_SCRIPTS ${PROJECT_BINARY_DIR}/kit/KztBuildKit.cmake)

set(KZT_PACKAGE_MAINTAINER "kzt00318 project <maintainers@kzt00318.org>"
  CACHE STRING "The Debian package's maintainer: the project's name and list address")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kzt00318)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "observation module of a point-of-sale till, with its C interface and station")
set(CPACK_PACKAGE_DESCRIPTION
  "A till loads this module and calls it whenever the operator must attach a\n"
  "short note to an item, a cancellation, a discount or the end of a sale: a\n"
  "touch-screen dialog composes the note from occurrences read from the store's\n"
  "SQL database (SQLite, PostgreSQL or ODBC). The package holds the module with\n"
  "its plain C interface and C++ entry point, the headers, a CMake package and a\n"
  "pkg-config file for hosts, and kzt-station, a program that plays the host.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGE_CONTACT "${KZT_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# The libraries' cache is refreshed by dpkg's trigger, as Debian wants it.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/package/debian/triggers)
# Stripped binaries; their debug information goes into a -dbgsym package beside, which
# cpack makes only for a component's package: everything is in the one component there is.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_NAME kzt00318)
set(CPACK_DEBIAN_UNSPECIFIED_FILE_NAME DEB-DEFAULT)
# cpack strips them itself once it has taken the debug information out.
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/KztDbgsymFix.cmake)
# Loaded at run time, so invisible to the library scan: Qt's platform plugins and SOCI's
# SQLite backend (the default store).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libsoci-sqlite3-4.0")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
  "fonts-liberation, qt6-wayland, libsoci-postgresql4.0, libsoci-odbc4.0")
include(CPack)
