# Runs one example of the user guide and compares what it prints on the
# standard output with the output the guide shows for it.
#   cmake -DPROGRAM=... [-DARG1=... -DARG2=...] -DEXPECTED=FILE.out
#         -DWORK_DIR=... -P run_example.cmake
set(command ${PROGRAM})
foreach(arg ARG1 ARG2 ARG3)
  if(DEFINED ${arg})
    list(APPEND command ${${arg}})
  endif()
endforeach()
file(MAKE_DIRECTORY ${WORK_DIR})
execute_process(COMMAND ${command} WORKING_DIRECTORY ${WORK_DIR}
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${command} ended with status ${status}\n"
                      "standard output:\n${output}\nstandard error:\n${errors}")
endif()
file(READ ${EXPECTED} expected)
if(NOT output STREQUAL expected)
  message(FATAL_ERROR "the example prints something else than the guide shows\n"
                      "guide (${EXPECTED}):\n${expected}\nprinted:\n${output}")
endif()
message(STATUS "the example prints what the guide shows:\n${output}")
