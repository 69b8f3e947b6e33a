# The kernel tests alone, on the reconstruction core (builds with RAV_CORE_ONLY). A cross build
# finds no GoogleTest for its processor: it builds one from the sources Debian's googletest
# package installs.
find_package(GTest QUIET)
if(NOT GTest_FOUND)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # GoogleTest's own sources are not held to this project's warning flags.
  set_target_properties(gtest gtest_main PROPERTIES COMPILE_OPTIONS "")
endif()
add_executable(test_kernels ${CMAKE_CURRENT_LIST_DIR}/kernels_test.cpp)
target_link_libraries(test_kernels PRIVATE rav_core GTest::gtest_main)
add_test(NAME kernels COMMAND test_kernels)
set_tests_properties(kernels PROPERTIES TIMEOUT 600)
