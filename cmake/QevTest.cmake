# qev_test(NAME [POSTGRES] SOURCES file... LIBS lib...): one GoogleTest
# binary run by CTest. Each test gets a class registry of its own, so
# registrations made by a test never leak into the user's registry or into
# another test. POSTGRES: the test also runs on PostgreSQL; CTest starts the
# throwaway server (fixture qev_pg, tests/pgserver) before it and stops the
# server after the last such test, and the test finds it through
# QEV_PG_STATE (tests/support/backend.h).
set(QEV_PG_STATE_DIR ${PROJECT_BINARY_DIR}/pgtest)
function(qev_test name)
  cmake_parse_arguments(T "POSTGRES" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} qev_test_support GTest::gtest GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QEV_REGISTRY=${PROJECT_BINARY_DIR}/test-registry/${name}/classes.reg;QEV_BUILD_DIR=${PROJECT_BINARY_DIR}")
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
  if(T_POSTGRES)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED qev_pg)
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT "QEV_PG_STATE=${QEV_PG_STATE_DIR}")
  endif()
endfunction()

# Adds every immediate subdirectory of the current one that has a
# CMakeLists.txt, so that each piece's tests, tools or benchmarks live in a
# folder of their own.
macro(qev_add_subdirectories)
  file(GLOB _qev_children CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
       ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
  list(SORT _qev_children)
  foreach(_qev_child ${_qev_children})
    get_filename_component(_qev_dir ${_qev_child} DIRECTORY)
    add_subdirectory(${_qev_dir})
  endforeach()
endmacro()
