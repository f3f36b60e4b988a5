# The encoder's unit tests; then the decoder's and the encoder's tests together
# under AddressSanitizer and UBSan, twice.
file(GLOB CODEC_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_test.cpp)
add_executable(codec_tests ${CODEC_TEST_SOURCES})
target_link_libraries(codec_tests PRIVATE sfx_codec GTest::gtest_main)
gtest_discover_tests(codec_tests PROPERTIES LABELS host-unit)

# The same tests with the decoder and encoder compiled in directly under the
# sanitizers, so that any read or write outside a buffer fails the run.
set(CODEC_SANITIZED_TEST_SOURCES ${ARCHIVE_TEST_SOURCES} ${CODEC_TEST_SOURCES})
set(CODEC_SANITIZE_OPTIONS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
function(add_sanitized_codec_tests name)   # further arguments: the decoder's objects or sources
  add_executable(${name} ${CODEC_SANITIZED_TEST_SOURCES} ${CODEC_SOURCES} ${ARGN})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src)
  target_compile_options(${name} PRIVATE -O1 -g ${CODEC_SANITIZE_OPTIONS})
  target_link_options(${name} PRIVATE ${CODEC_SANITIZE_OPTIONS})
  target_link_libraries(${name} PRIVATE sfx_platform Threads::Threads GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS host-unit)
endfunction()
add_sanitized_codec_tests(codec_tests_asan ${ARCHIVE_SOURCES})

# Once more with the decoder built for size, as the stub builds it: the plain
# bit readers are a different path from the host's word-at-a-time ones.
add_library(codec_archive_size OBJECT ${ARCHIVE_SOURCES})
target_include_directories(codec_archive_size PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_compile_options(codec_archive_size PRIVATE -Os -g ${CODEC_SANITIZE_OPTIONS})
add_sanitized_codec_tests(codec_tests_size $<TARGET_OBJECTS:codec_archive_size>)

