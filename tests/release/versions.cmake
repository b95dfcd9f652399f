# Every front end reports the project's version, and the changelog has its
# section. Driven by CTest:
#   -DVERSION=X.Y.Z          the project's number (CMake's project())
#   -DPRINT_VERSIONS=PROGRAM prints kestro_version() and kestro::version()
#   -DRUNNER=kestro-run      (optional) must print "kestro-run X.Y.Z"
#   -DPYTHON=python3 -DPYTHONPATH=DIR  (optional) kestro.__version__
#   -DCHANGELOG=CHANGELOG.md must have a section "## [X.Y.Z]"
cmake_minimum_required(VERSION 3.20)

set(failures "")
function(expect what got wanted)
  if(NOT got STREQUAL wanted)
    set(failures "${failures}\n  ${what}: '${got}', not '${wanted}'" PARENT_SCOPE)
  else()
    message("${what}: ${got}")
  endif()
endfunction()

function(output_of var)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}${err}")
  endif()
  set(${var} "${out}" PARENT_SCOPE)
endfunction()

if(NOT VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
  message(FATAL_ERROR "the project's version '${VERSION}' is not MAJOR.MINOR.PATCH")
endif()

output_of(lines ${PRINT_VERSIONS})
string(REPLACE "\n" ";" lines "${lines}")
list(LENGTH lines count)
if(NOT count EQUAL 2)
  message(FATAL_ERROR "${PRINT_VERSIONS} printed ${count} lines, not 2: ${lines}")
endif()
list(GET lines 0 c_version)
list(GET lines 1 cpp_version)
expect("kestro_version()" "${c_version}" "${VERSION}")
expect("kestro::version()" "${cpp_version}" "${VERSION}")

if(RUNNER)
  output_of(runner_version ${RUNNER} --version)
  expect("kestro-run --version" "${runner_version}" "kestro-run ${VERSION}")
endif()

if(PYTHON)
  set(ENV{PYTHONPATH} "${PYTHONPATH}")
  output_of(python_version ${PYTHON} -c "print(__import__('kestro').__version__)")
  expect("kestro.__version__" "${python_version}" "${VERSION}")
endif()

file(STRINGS "${CHANGELOG}" sections REGEX "^## ")
string(REPLACE "." "\\." version_pattern "${VERSION}")
list(FILTER sections INCLUDE REGEX "^## \\[${version_pattern}\\]")
if(NOT sections)
  set(failures "${failures}\n  CHANGELOG.md has no section '## [${VERSION}]'")
endif()

if(failures)
  message(FATAL_ERROR "versions that disagree with the project's ${VERSION}:${failures}")
endif()
