include(${CMAKE_CURRENT_LIST_DIR}/QavProgramPath.cmake)

# qav_add_gtest(NAME SOURCES src... [LIBS lib...])
# A GoogleTest program whose every test runs in a fresh temporary folder as its
# current directory; tests are discovered when CTest runs (under Wine when cross
# built).
function(qav_add_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE qav_testmain ${T_LIBS})
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES TIMEOUT 180)
endfunction()
