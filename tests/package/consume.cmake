# Driven by CTest: installs the build tree into PREFIX, or builds and runs
# the consumer programs of this directory against the installed tree.
#   -DSTEP=install      cmake --install BUILD_DIR --prefix PREFIX (afresh); with
#                       -DRUNNER=1 kestro-run must be installed as well
#   -DSTEP=find_package configure and build this directory as a project of its
#                       own with find_package(kestroR), then run its programs
#   -DSTEP=pkg_config   compile the programs with the flags pkg-config gives
# FLAGS holds extra compile and link flags (the sanitizer flags of a
# sanitizer build, which a program linking that library needs as well).
cmake_minimum_required(VERSION 3.20)
separate_arguments(extra UNIX_COMMAND "${FLAGS}")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  message("${out}${err}")
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}")
  endif()
endfunction()

if(STEP STREQUAL "install")
  file(REMOVE_RECURSE "${PREFIX}")
  run(${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}")
  set(installed include/kestro.h include/kestro.hpp ${LIBDIR}/libkestroR.so
      ${LIBDIR}/cmake/kestroR/kestroRConfig.cmake ${LIBDIR}/pkgconfig/kestroR.pc
      share/doc/kestro/LICENSE share/doc/kestro/CHANGELOG.md)
  if(RUNNER)  # kestro-run is built: it is installed too, and runs from there
    list(APPEND installed bin/kestro-run)
  endif()
  foreach(f ${installed})
    if(NOT EXISTS "${PREFIX}/${f}")
      message(FATAL_ERROR "not installed: ${f}")
    endif()
  endforeach()
  if(RUNNER)
    run("${PREFIX}/bin/kestro-run" --version)
  endif()
elseif(STEP STREQUAL "find_package")
  file(REMOVE_RECURSE "${WORK_DIR}")
  run(${CMAKE_COMMAND} -S "${SOURCE_DIR}" -B "${WORK_DIR}" -DCMAKE_PREFIX_PATH=${PREFIX}
      -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
      "-DCMAKE_C_FLAGS=${FLAGS}" "-DCMAKE_CXX_FLAGS=${FLAGS}"
      "-DCMAKE_EXE_LINKER_FLAGS=${FLAGS}")
  run(${CMAKE_COMMAND} --build "${WORK_DIR}")
  # No library path is set: the programs find the installed library through
  # the run path that the imported target gives them.
  run("${WORK_DIR}/consumer_cpp")
  run("${WORK_DIR}/consumer_c")
elseif(STEP STREQUAL "pkg_config")
  file(REMOVE_RECURSE "${WORK_DIR}")
  file(MAKE_DIRECTORY "${WORK_DIR}")
  set(ENV{PKG_CONFIG_PATH} "${PREFIX}/${LIBDIR}/pkgconfig")
  execute_process(COMMAND pkg-config --cflags --libs kestroR RESULT_VARIABLE rc
                  OUTPUT_VARIABLE pc OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "pkg-config does not know kestroR")
  endif()
  message("pkg-config --cflags --libs kestroR: ${pc}")
  separate_arguments(pc UNIX_COMMAND "${pc}")
  run(${CXX_COMPILER} -std=c++20 ${extra} "${SOURCE_DIR}/consumer.cpp" ${pc}
      -o "${WORK_DIR}/consumer_cpp")
  run(${C_COMPILER} ${extra} "${SOURCE_DIR}/consumer.c" ${pc} -o "${WORK_DIR}/consumer_c")
  set(ENV{LD_LIBRARY_PATH} "${PREFIX}/${LIBDIR}")
  run("${WORK_DIR}/consumer_cpp")
  run("${WORK_DIR}/consumer_c")
else()
  message(FATAL_ERROR "unknown STEP '${STEP}'")
endif()
