# Compression codec: the encoder library that the builder links, the codec's
# unit tests (plain and under AddressSanitizer/UBSan), the decoder fuzz run and
# the benchmarks. Included from host.cmake once sfxhost exists.
include(GoogleTest)

file(GLOB CODEC_ENCODER_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/pack/encoder*.cpp)
add_library(encoder STATIC ${CODEC_ENCODER_SOURCES})
target_include_directories(encoder PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(encoder PUBLIC sfxhost)

file(GLOB CODEC_TEST_SOURCES CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/tests/host/test_block_decoder*.cpp
    ${CMAKE_SOURCE_DIR}/tests/host/test_crc32.cpp
    ${CMAKE_SOURCE_DIR}/tests/host/test_encoder*.cpp)
add_executable(codec_tests ${CODEC_TEST_SOURCES})
target_link_libraries(codec_tests PRIVATE encoder sfxhost GTest::gtest_main)
gtest_discover_tests(codec_tests PROPERTIES LABELS host-unit)

# The same tests with the decoder and encoder compiled in directly under the
# sanitizers, so that any read or write outside a buffer fails the run.
file(GLOB CODEC_ARCHIVE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/archive/*.cpp)
set(CODEC_SANITIZE_OPTIONS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_executable(codec_tests_asan ${CODEC_TEST_SOURCES} ${CODEC_ARCHIVE_SOURCES} ${CODEC_ENCODER_SOURCES})
target_include_directories(codec_tests_asan PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_compile_options(codec_tests_asan PRIVATE -O1 -g ${CODEC_SANITIZE_OPTIONS})
target_link_options(codec_tests_asan PRIVATE ${CODEC_SANITIZE_OPTIONS})
target_link_libraries(codec_tests_asan PRIVATE GTest::gtest_main)
add_test(NAME codec_tests_asan COMMAND codec_tests_asan)
set_tests_properties(codec_tests_asan PROPERTIES LABELS host-unit)
