# Compression codec: the encoder library that the builder links, the codec's
# unit tests (plain and under AddressSanitizer/UBSan), the decoder fuzz run and
# the benchmarks. Included from host.cmake once sfxhost exists.
include(GoogleTest)

file(GLOB CODEC_ENCODER_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/codec/*.cpp)
add_library(encoder STATIC ${CODEC_ENCODER_SOURCES})
target_include_directories(encoder PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(encoder PUBLIC sfxhost platform)

file(GLOB CODEC_TEST_SOURCES CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/tests/archive/*_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/codec/*_test.cpp)
add_executable(codec_tests ${CODEC_TEST_SOURCES})
target_link_libraries(codec_tests PRIVATE encoder sfxhost GTest::gtest_main)
gtest_discover_tests(codec_tests PROPERTIES LABELS host-unit)

# The same tests with the decoder and encoder compiled in directly under the
# sanitizers, so that any read or write outside a buffer fails the run.
file(GLOB CODEC_ARCHIVE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/archive/*.cpp)
set(CODEC_SANITIZE_OPTIONS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
function(add_sanitized_codec_tests name)   # further arguments: the decoder's objects or sources
  add_executable(${name} ${CODEC_TEST_SOURCES} ${CODEC_ENCODER_SOURCES} ${ARGN})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src)
  target_compile_options(${name} PRIVATE -O1 -g ${CODEC_SANITIZE_OPTIONS})
  target_link_options(${name} PRIVATE ${CODEC_SANITIZE_OPTIONS})
  target_link_libraries(${name} PRIVATE platform GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS host-unit)
endfunction()
add_sanitized_codec_tests(codec_tests_asan ${CODEC_ARCHIVE_SOURCES})

# Once more with the decoder built for size, as the stub builds it: the plain
# bit readers are a different path from the host's word-at-a-time ones.
add_library(codec_archive_size OBJECT ${CODEC_ARCHIVE_SOURCES})
target_include_directories(codec_archive_size PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_compile_options(codec_archive_size PRIVATE -Os -g ${CODEC_SANITIZE_OPTIONS})
add_sanitized_codec_tests(codec_tests_size $<TARGET_OBJECTS:codec_archive_size>)

# libFuzzer needs clang while the host compiler is g++: build the target with a
# direct clang++ call. The test seeds it with encoder outputs and runs ~60 s.
find_program(CODEC_CLANGXX NAMES clang++ clang++-14)
if(CODEC_CLANGXX)
  set(CODEC_FUZZ_SOURCES
      ${CMAKE_SOURCE_DIR}/fuzz/fuzz_decoder.cpp
      ${CMAKE_SOURCE_DIR}/src/archive/block_decoder.cpp
      ${CMAKE_SOURCE_DIR}/src/archive/block_checksum.cpp)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/fuzz_decoder
      COMMAND ${CODEC_CLANGXX} -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined
              -fno-sanitize-recover=all -I${CMAKE_SOURCE_DIR}/src ${CODEC_FUZZ_SOURCES}
              -o ${CMAKE_BINARY_DIR}/fuzz_decoder
      DEPENDS ${CODEC_FUZZ_SOURCES} ${CMAKE_SOURCE_DIR}/src/archive/block_decoder.h
      COMMENT "Building the decoder fuzz target with clang++"
      VERBATIM)
  add_custom_target(fuzz_decoder_target ALL DEPENDS ${CMAKE_BINARY_DIR}/fuzz_decoder)
  add_executable(fuzz_make_seeds ${CMAKE_SOURCE_DIR}/fuzz/make_seeds.cpp)
  target_link_libraries(fuzz_make_seeds PRIVATE encoder)
  add_test(NAME fuzz_decoder
      COMMAND sh ${CMAKE_SOURCE_DIR}/fuzz/run-fuzz.sh $<TARGET_FILE:fuzz_make_seeds>
              ${CMAKE_BINARY_DIR}/fuzz_decoder ${CMAKE_BINARY_DIR}/fuzz-corpus 60)
  set_tests_properties(fuzz_decoder PROPERTIES LABELS host-unit TIMEOUT 300)
else()
  message(WARNING "clang++ not found: the decoder fuzz test is not built")
endif()

# Benchmarks against zlib, zstd and xz: `make bench` builds and runs them (not a test).
find_library(CODEC_ZLIB z)
find_library(CODEC_ZSTD zstd)
find_library(CODEC_LZMA lzma)
if(CODEC_ZLIB AND CODEC_ZSTD AND CODEC_LZMA)
  add_executable(codec_bench ${CMAKE_SOURCE_DIR}/bench/codec_bench.cpp)
  target_link_libraries(codec_bench PRIVATE encoder sfxhost ${CODEC_ZLIB} ${CODEC_ZSTD} ${CODEC_LZMA})
  set(CODEC_BENCH_CORPUS "" CACHE STRING "Files for a second benchmark corpus (default: Wine's i386 DLLs)")
  add_custom_target(bench
      COMMAND codec_bench ${CODEC_BENCH_CORPUS}
      DEPENDS codec_bench
      USES_TERMINAL
      COMMENT "Codec benchmark")
else()
  message(WARNING "zlib, zstd or liblzma not found: no codec benchmark")
endif()
