# Warnings, sanitizers and Qt strictness for the project's own targets only:
# third-party headers come in as system includes and are not held to them.
add_library(kzt_options INTERFACE)
target_compile_options(kzt_options INTERFACE
  -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wpedantic
  $<$<BOOL:${KZT_WERROR}>:-Werror>)
target_compile_definitions(kzt_options INTERFACE QT_NO_CAST_FROM_ASCII QT_NO_KEYWORDS)

if(KZT_SANITIZE)
  set(_kzt_san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_compile_options(kzt_options INTERFACE ${_kzt_san})
  target_link_options(kzt_options INTERFACE ${_kzt_san})
endif()

# Races between the connection's threads (connect, watchdog, ODBC worker), the caller and
# the unload step (scripts/test.sh runs the programs that meet them).
if(KZT_TSAN)
  set(_kzt_tsan -fsanitize=thread -fno-omit-frame-pointer)
  target_compile_options(kzt_options INTERFACE ${_kzt_tsan})
  target_link_options(kzt_options INTERFACE ${_kzt_tsan})
endif()

# kzt_sources(<target> <dir>...): every .cpp of the folders, so that parallel work on a
# folder never fights over a source list.
function(kzt_sources target)
  set(_all)
  foreach(dir IN LISTS ARGN)
    file(GLOB _src CONFIGURE_DEPENDS ${dir}/*.cpp)
    list(APPEND _all ${_src})
  endforeach()
  if(NOT _all)
    set(_all ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  target_sources(${target} PRIVATE ${_all})
endfunction()
