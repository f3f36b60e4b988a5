# Windows-builder family: sfxpack.exe for 64-bit Windows hosts. The builder's
# own sources over the Windows implementation of src/platform, linked
# statically: it needs no DLL beyond the system's.
set(SFX_PLATFORM windows)
add_compile_options(-Wall -Wextra)
add_link_options(-static)

include(${CMAKE_SOURCE_DIR}/cmake/builder.cmake)
# The stand-in signing tool that the host's tests give sfxpack.exe to run.
include(${CMAKE_SOURCE_DIR}/tests/pack/windows/helpers.cmake OPTIONAL)
