# cmake -DSOURCE_DIR=... -P layers.cmake: every quoted include is spelled from the project
# root and names a file there, and each folder of the libraries and the station includes
# only what its layer may (README, "Which folder may include which"). A rule names a
# folder, whose headers may all be included, or one header.
cmake_minimum_required(VERSION 3.25)
set(folders platform platform/db platform/ui host server client package
  station/hostlib station/companion station/app)
set(may_platform platform)
set(may_platform/db platform platform/db)
set(may_platform/ui platform platform/ui)
set(may_host platform platform/db platform/ui host)
set(may_server platform platform/db host server)
set(may_client platform platform/db platform/ui host server client)
set(may_package platform platform/db server client package)
set(may_station/hostlib platform platform/db platform/ui host station/hostlib)
set(may_station/companion ${may_station/hostlib} station/companion)
set(may_station/app ${may_station/companion} station/app server/Srv_kzt00318.h)

set(problems "")
function(check_file file allowed)
  file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  file(RELATIVE_PATH where ${SOURCE_DIR} ${file})
  foreach(line IN LISTS lines)
    string(REGEX MATCH "\"([^\"]+)\"" _ "${line}")
    set(header ${CMAKE_MATCH_1})
    if(header MATCHES "(^|/)moc_[^/]*$")  # Qt's generated code, in the build tree
      continue()
    endif()
    if(NOT header MATCHES "/" OR NOT EXISTS ${SOURCE_DIR}/${header})
      list(APPEND problems "${where}: \"${header}\" is not spelled from the project root")
      continue()
    endif()
    get_filename_component(dir ${header} DIRECTORY)
    if(allowed AND NOT dir IN_LIST allowed AND NOT header IN_LIST allowed)
      list(APPEND problems "${where}: may not include \"${header}\"")
    endif()
  endforeach()
  set(problems "${problems}" PARENT_SCOPE)
endfunction()

foreach(folder IN LISTS folders)
  file(GLOB files ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  foreach(file IN LISTS files)
    check_file(${file} "${may_${folder}}")
  endforeach()
endforeach()
# Tests, benchmarks and fuzz targets may include anything, spelled from the root.
file(GLOB_RECURSE files ${SOURCE_DIR}/tests/*.h ${SOURCE_DIR}/tests/*.cpp
  ${SOURCE_DIR}/bench/*.h ${SOURCE_DIR}/bench/*.cpp ${SOURCE_DIR}/fuzz/*.cpp)
foreach(file IN LISTS files)
  check_file(${file} "")
endforeach()

if(problems)
  list(JOIN problems "\n" text)
  message(FATAL_ERROR "includes across the layers:\n${text}")
endif()
