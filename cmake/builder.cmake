# The builder, sfxpack, as libraries from the bottom up: the block decoder and
# checksums it shares with the stub (src/archive), the operating system's
# services (src/platform), the encoder (src/codec), the installer file
# (src/pack), its trial run under Wine (src/pack/trial) and the command line
# (src/pack/cli). Nothing here needs the host's test machinery, so any family
# that makes a builder can include it.
include(${CMAKE_SOURCE_DIR}/src/archive/archive.cmake)
include(${CMAKE_SOURCE_DIR}/src/platform/platform.cmake)
include(${CMAKE_SOURCE_DIR}/src/codec/codec.cmake)
include(${CMAKE_SOURCE_DIR}/src/pack/pack.cmake)
include(${CMAKE_SOURCE_DIR}/src/pack/trial/trial.cmake)
include(${CMAKE_SOURCE_DIR}/src/pack/cli/cli.cmake)
# A Problem (src/problem/problem.h) that a call drops unread stops the build.
set(SFX_BUILDER_COMPILE_OPTIONS -Werror=unused-result)
foreach(library sfx_archive sfx_platform sfx_codec sfx_pack sfx_trial sfx_cli sfxpack)
  target_compile_options(${library} PRIVATE ${SFX_BUILDER_COMPILE_OPTIONS})
endforeach()
