# Host unit tests: every tests/host/*_test.cpp in one program. The codec's own
# test files (test_*.cpp) are built by cmake/codec.cmake.
file(GLOB HOST_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/host/*_test.cpp)
add_executable(host_tests ${HOST_TEST_SOURCES})
target_link_libraries(host_tests PRIVATE sfxhost GTest::gtest_main)
gtest_discover_tests(host_tests PROPERTIES LABELS host-unit)
