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
              ${CMAKE_SOURCE_DIR}/src/format/block_format.h ${CMAKE_SOURCE_DIR}/src/format/little_endian.h
      COMMENT "Building the decoder fuzz target with clang++"
      VERBATIM)
  add_custom_target(fuzz_decoder_target ALL DEPENDS ${CMAKE_BINARY_DIR}/fuzz_decoder)
  add_executable(fuzz_make_seeds ${CMAKE_SOURCE_DIR}/fuzz/make_seeds.cpp)
  target_link_libraries(fuzz_make_seeds PRIVATE sfx_codec)
  add_test(NAME fuzz_decoder
      COMMAND sh ${CMAKE_SOURCE_DIR}/fuzz/run-fuzz.sh $<TARGET_FILE:fuzz_make_seeds>
              ${CMAKE_BINARY_DIR}/fuzz_decoder ${CMAKE_BINARY_DIR}/fuzz-corpus 60)
  set_tests_properties(fuzz_decoder PROPERTIES LABELS host-unit TIMEOUT 300)
else()
  message(WARNING "clang++ not found: the decoder fuzz test is not built")
endif()

