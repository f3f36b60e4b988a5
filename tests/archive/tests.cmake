# The decoder's and the CRC-32's unit tests (the decoder's craft their blocks
# with the encoder's bit writer). tests/codec/tests.cmake runs them once more
# under the sanitizers.
file(GLOB ARCHIVE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_test.cpp)
add_executable(archive_tests ${ARCHIVE_TEST_SOURCES})
target_link_libraries(archive_tests PRIVATE sfx_codec GTest::gtest_main)
gtest_discover_tests(archive_tests PROPERTIES LABELS host-unit)
