# Host unit tests of the text operations (the stub's code, built for the host).
file(GLOB HOST_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/strings/*_test.cpp)
add_executable(host_tests ${HOST_TEST_SOURCES})
target_link_libraries(host_tests PRIVATE sfxhost GTest::gtest_main)
gtest_discover_tests(host_tests PROPERTIES LABELS host-unit)
