# Writes the class registry of the installed tree: rptcalc registers both
# component libraries into REGISTRY, and each library path becomes the
# library's file name relative to the registry's installed directory.
file(REMOVE ${REGISTRY} ${REGISTRY}.lock)
execute_process(COMMAND ${CMAKE_COMMAND} -E env QEV_REGISTRY=${REGISTRY} ${RPTCALC} register
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "rptcalc register failed (${status})")
endif()
file(READ ${REGISTRY} text)
string(REGEX REPLACE "\t[^\t\n]*/([^/\t\n]+)\n" "\t../\\1\n" text "${text}")
file(WRITE ${REGISTRY} "${text}")
file(REMOVE ${REGISTRY}.lock)
