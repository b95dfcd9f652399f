# Fails when docs/iflag-codes.md is not what the generator writes from the
# library's table of IFLAG codes.
#   cmake -DGENERATOR=... -DPAGE=docs/iflag-codes.md -DFRESH=... -P iflag_codes_current.cmake
execute_process(COMMAND ${GENERATOR} ${FRESH} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the generator of the IFLAG page failed (status ${status})")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${PAGE} ${FRESH}
                RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
  message(FATAL_ERROR "${PAGE} is not what the table of IFLAG codes gives (${FRESH}).\n"
                      "Regenerate it: cmake --build <build> --target kestro_iflag_codes_md")
endif()
