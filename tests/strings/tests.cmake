# Host unit tests of the text operations: the stub's code, built for the host
# with the host's versions of the heaps and the text workspace.
file(GLOB STRINGS_HOST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/strings/*.cpp
     ${CMAKE_SOURCE_DIR}/src/support/*_host.cpp)
file(GLOB STRINGS_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_test.cpp)
add_executable(strings_tests ${STRINGS_TEST_SOURCES} ${STRINGS_HOST_SOURCES})
target_include_directories(strings_tests PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(strings_tests PRIVATE GTest::gtest_main)
gtest_discover_tests(strings_tests PROPERTIES LABELS host-unit)
