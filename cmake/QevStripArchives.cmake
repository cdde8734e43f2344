# CPack pre-build script: CPACK_STRIP_FILES strips programs and shared
# libraries only; the static libraries lose their debug information here.
file(GLOB_RECURSE archives "${CPACK_TEMPORARY_DIRECTORY}/*.a")
foreach(archive ${archives})
  execute_process(COMMAND ${CPACK_QEV_STRIP} --strip-debug ${archive} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot strip ${archive}")
  endif()
endforeach()
