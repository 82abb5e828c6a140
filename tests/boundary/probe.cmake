# cmake -DBUILD_DIR=... -P probe.cmake: builds the core probe as it is (must build) and
# with <QWidget> (must fail, for that header).
cmake_minimum_required(VERSION 3.25)
function(build_probe target result output)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${target}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  set(${result} ${status} PARENT_SCOPE)
  set(${output} "${out}" PARENT_SCOPE)
endfunction()

build_probe(kzt_core_probe status out)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the core probe does not build with the core's flags:\n${out}")
endif()
build_probe(kzt_core_probe_widget status out)
if(status EQUAL 0)
  message(FATAL_ERROR "a core file that includes <QWidget> built")
endif()
if(NOT out MATCHES "QWidget: No such file or directory")
  message(FATAL_ERROR "the core probe with <QWidget> failed for another reason:\n${out}")
endif()
message(STATUS "a core file that includes <QWidget> does not build")
