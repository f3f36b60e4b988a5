# libFuzzer needs clang while the host compiler is g++: each target is built
# with a direct clang++ call under ASan and UBSan. The tests seed them with
# real blocks and archives and run each for a bounded time.
find_program(CODEC_CLANGXX NAMES clang++ clang++-14)
if(CODEC_CLANGXX)
  file(GLOB_RECURSE FUZZ_HEADERS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/*.h)
  # add_fuzz_target(NAME "FLAGS" SOURCES...)
  function(add_fuzz_target name flags)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${name}
        COMMAND ${CODEC_CLANGXX} -std=c++17 -g ${flags} -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
                -I${CMAKE_SOURCE_DIR}/src ${ARGN} -o ${CMAKE_BINARY_DIR}/${name}
        DEPENDS ${ARGN} ${FUZZ_HEADERS}
        COMMENT "Building the fuzz target ${name} with clang++"
        VERBATIM)
    add_custom_target(${name}_target ALL DEPENDS ${CMAKE_BINARY_DIR}/${name})
  endfunction()
  function(add_fuzz_test name seeds seconds)
    add_test(NAME ${name}
        COMMAND sh ${CMAKE_SOURCE_DIR}/fuzz/run-fuzz.sh $<TARGET_FILE:fuzz_make_seeds> ${seeds}
                ${CMAKE_BINARY_DIR}/${name} ${CMAKE_BINARY_DIR}/${name}-corpus ${seconds})
    set_tests_properties(${name} PROPERTIES LABELS host-unit TIMEOUT 300)
  endfunction()

  set(FUZZ_DECODER_SOURCES ${CMAKE_SOURCE_DIR}/fuzz/fuzz_decoder.cpp ${ARCHIVE_SOURCES})
  # The decoder as the builder has it, and as the stub builds it for size.
  add_fuzz_target(fuzz_decoder "-O1" ${FUZZ_DECODER_SOURCES})
  add_fuzz_target(fuzz_decoder_size "-Oz;-fno-jump-tables;-DSFX_FUZZ_SIZE_BUILD" ${FUZZ_DECODER_SOURCES})
  # The installer reader of list, verify and extract, with verify's checks.
  add_fuzz_target(fuzz_installer "-O1" ${CMAKE_SOURCE_DIR}/fuzz/fuzz_installer.cpp ${ARCHIVE_SOURCES}
      ${PLATFORM_SOURCES} ${CODEC_SOURCES} ${PACK_SOURCES})

  add_executable(fuzz_make_seeds ${CMAKE_SOURCE_DIR}/fuzz/make_seeds.cpp)
  target_link_libraries(fuzz_make_seeds PRIVATE sfx_pack)
  add_fuzz_test(fuzz_decoder blocks 60)
  add_fuzz_test(fuzz_decoder_size blocks 30)
  add_fuzz_test(fuzz_installer archives 30)
else()
  message(WARNING "clang++ not found: the fuzz tests are not built")
endif()
