# The command line: its tables directly, and the program itself on real trees.
file(GLOB PACK_CLI_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_test.cpp)
add_executable(pack_cli_tests ${PACK_CLI_TEST_SOURCES})
target_link_libraries(pack_cli_tests PRIVATE sfx_cli pack_testing GTest::gtest_main)
add_dependencies(pack_cli_tests sfxpack)
gtest_discover_tests(pack_cli_tests TEST_PREFIX "pack." PROPERTIES LABELS host-unit TIMEOUT 300)
