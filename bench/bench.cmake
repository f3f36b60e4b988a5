# Benchmarks against zlib, zstd and xz: `make bench` builds and runs them (not a test).
find_library(CODEC_ZLIB z)
find_library(CODEC_ZSTD zstd)
find_library(CODEC_LZMA lzma)
if(CODEC_ZLIB AND CODEC_ZSTD AND CODEC_LZMA)
  add_executable(codec_bench ${CMAKE_SOURCE_DIR}/bench/codec_bench.cpp)
  target_link_libraries(codec_bench PRIVATE sfx_codec ${CODEC_ZLIB} ${CODEC_ZSTD} ${CODEC_LZMA})
  set(CODEC_BENCH_CORPUS "" CACHE STRING "Files for a second benchmark corpus (default: Wine's i386 DLLs)")
  add_custom_target(bench
      COMMAND codec_bench ${CODEC_BENCH_CORPUS}
      DEPENDS codec_bench
      USES_TERMINAL
      COMMENT "Codec benchmark")
else()
  message(WARNING "zlib, zstd or liblzma not found: no codec benchmark")
endif()
