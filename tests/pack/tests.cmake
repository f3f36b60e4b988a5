# Unit tests of the installer file and its parts, some of which also run the
# program; the helpers are shared with the command line's tests.
add_library(pack_testing STATIC ${CMAKE_CURRENT_LIST_DIR}/pack_testing.cpp)
target_link_libraries(pack_testing PUBLIC GTest::gtest)
target_compile_definitions(pack_testing PUBLIC SFXPACK_PATH="$<TARGET_FILE:sfxpack>")

file(GLOB PACK_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_test.cpp)
add_executable(pack_tests ${PACK_TEST_SOURCES})
target_link_libraries(pack_tests PRIVATE sfx_pack pack_testing GTest::gtest_main)
add_dependencies(pack_tests sfxpack)
gtest_discover_tests(pack_tests TEST_PREFIX "pack." PROPERTIES LABELS host-unit TIMEOUT 300)
