# tamber_add_test(<name> SOURCES <files...> LIBS <targets...>)
# One GoogleTest program; every TEST becomes its own CTest entry.
function(tamber_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    TAMBER_BIN_DIR="${TAMBER_BIN_DIR}"
    TAMBER_TEST_BIN_DIR="${CMAKE_BINARY_DIR}/tests"
    TAMBER_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data")
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 600)
endfunction()
