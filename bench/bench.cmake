# Benchmarks: `make bench` builds and runs them (not a test). The codec against
# zlib, zstd and xz; then whole installers against makensis and makeself, to
# make and to install; then sfxpack try.
find_library(CODEC_ZLIB z)
find_library(CODEC_ZSTD zstd)
find_library(CODEC_LZMA lzma)
if(CODEC_ZLIB AND CODEC_ZSTD AND CODEC_LZMA)
  add_executable(codec_bench ${CMAKE_SOURCE_DIR}/bench/codec_bench.cpp)
  target_link_libraries(codec_bench PRIVATE sfx_codec sfx_platform ${CODEC_ZLIB} ${CODEC_ZSTD} ${CODEC_LZMA})
  set(CODEC_BENCH_CORPUS "" CACHE STRING "Files for a second benchmark corpus (default: Wine's i386 DLLs)")
  add_custom_target(bench
      COMMAND codec_bench ${CODEC_BENCH_CORPUS}
      COMMAND ${CMAKE_SOURCE_DIR}/bench/installer-bench $<TARGET_FILE:sfxpack> ${CMAKE_BINARY_DIR}/installer-bench
      COMMAND ${CMAKE_SOURCE_DIR}/bench/try-bench $<TARGET_FILE:sfxpack> ${CMAKE_BINARY_DIR}/windows/example-app
              ${CMAKE_BINARY_DIR}/try-bench
      DEPENDS codec_bench sfxpack windows
      USES_TERMINAL
      COMMENT "Codec and installer benchmarks")
else()
  message(WARNING "zlib, zstd or liblzma not found: no codec benchmark")
endif()
