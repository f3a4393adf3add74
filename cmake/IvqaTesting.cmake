find_package(GTest REQUIRED)

# ivqa_add_test(NAME name SOURCES ... [LIBS ...] [LABELS ...] [ENVIRONMENT ...]
#               [TIMEOUT seconds] [NO_GTEST_MAIN])
# Builds one test program and registers it with CTest under its name.
function(ivqa_add_test)
  cmake_parse_arguments(T "NO_GTEST_MAIN" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;ENVIRONMENT" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS})
  if(NOT T_NO_GTEST_MAIN)
    target_link_libraries(${T_NAME} PRIVATE GTest::gtest GTest::gtest_main)
  endif()
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/test-bin)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT}
                       LABELS "${T_LABELS}"
                       ENVIRONMENT "IVQA_BIN_DIR=${CMAKE_BINARY_DIR}/bin;IVQA_SOURCE_DIR=${PROJECT_SOURCE_DIR};${T_ENVIRONMENT}")
endfunction()
