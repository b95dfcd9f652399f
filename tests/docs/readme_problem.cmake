# Runs the README's problem file with the example's black box and checks that
# it is the example's problem file and that the run finds the known optimum
# x = 0.5, y = 1.5, k = 3 with f = 1.5.
#   cmake -DRUNNER=kestro-run -DPROBLEM=readme_problem.toml
#         -DEXAMPLE_DIR=examples/blackbox -DWORK_DIR=... -P readme_problem.cmake
file(READ ${PROBLEM} readme)
file(READ ${EXAMPLE_DIR}/problem.toml example)
if(NOT readme STREQUAL example)
  message(FATAL_ERROR "the README's problem file is not ${EXAMPLE_DIR}/problem.toml:\n"
                      "README:\n${readme}\nexample:\n${example}")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
file(COPY ${PROBLEM} ${EXAMPLE_DIR}/blackbox.sh DESTINATION ${WORK_DIR})
execute_process(COMMAND ${RUNNER} readme_problem.toml --quiet WORKING_DIRECTORY ${WORK_DIR}
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "kestro-run ended with status ${status}\n${output}\n${errors}")
endif()
string(REGEX MATCH "\nx = ([^ \n]+) ([^ \n]+) ([^ \n]+)\n" x_line "\n${output}")
set(x ${CMAKE_MATCH_1})
set(y ${CMAKE_MATCH_2})
set(k ${CMAKE_MATCH_3})
string(REGEX MATCH "\nf = ([^ \n]+)\n" f_line "\n${output}")
set(f ${CMAKE_MATCH_1})
if(NOT x_line OR NOT f_line)
  message(FATAL_ERROR "no point of three variables and one objective in:\n${output}")
endif()
# Three variables and one objective: a black box that reads another number of
# values than the file gives would not reach this point.
foreach(check "x;0.45;0.55" "y;1.45;1.55" "k;3;3" "f;1.49;1.51")
  list(GET check 0 name)
  list(GET check 1 low)
  list(GET check 2 high)
  if(${name} LESS ${low} OR ${name} GREATER ${high})
    message(FATAL_ERROR "${name} = ${${name}} is not the optimum (${low} .. ${high}):\n${output}")
  endif()
endforeach()
message(STATUS "the README's problem file finds the optimum:\n${output}")
