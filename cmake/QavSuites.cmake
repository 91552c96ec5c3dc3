# qav_add_suites(FOLDER...): adds each test suite folder. One without a
# CMakeLists.txt stops the configure step: its tests would otherwise be left
# out of every run without a word.
macro(qav_add_suites)
  foreach(suite ${ARGN})
    if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${suite}/CMakeLists.txt)
      message(FATAL_ERROR "The test suite folder ${CMAKE_CURRENT_SOURCE_DIR}/${suite} has no CMakeLists.txt: "
                          "its tests would not be built or run.")
    endif()
    add_subdirectory(${suite})
  endforeach()
endmacro()
