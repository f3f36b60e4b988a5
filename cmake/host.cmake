# Host family: the builder, the host tests, fuzzing and benchmarks. It also
# drives the windows-stub and windows-builder families as sub-builds.

find_package(GTest REQUIRED)
include(GoogleTest)

add_compile_options(-Wall -Wextra)

set(SFX_PLATFORM posix)
include(${CMAKE_SOURCE_DIR}/cmake/builder.cmake)

# The windows-stub family, configured with the cross toolchain as a sub-build.
include(ExternalProject)
ExternalProject_Add(windows
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/windows
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-i686.cmake
               -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
               -DSFX_FAMILY=windows-stub
               -DSFX_WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix
    BUILD_ALWAYS 1
    INSTALL_COMMAND ""
    STEP_TARGETS configure)
# Targets of that sub-build alone, without its tests, for make install, make
# deb and make demo. Under make, the sub-build's make shares this one's jobs.
function(sfx_windows_targets name)
  if(CMAKE_GENERATOR MATCHES "Makefiles")
    set(build $(MAKE) -C ${CMAKE_BINARY_DIR}/windows ${ARGN})
  else()
    set(build ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR}/windows --target ${ARGN})
  endif()
  add_custom_target(${name} COMMAND ${build} DEPENDS windows-configure VERBATIM)
endfunction()
sfx_windows_targets(windows_stub sfxstub)
# What make demo runs: the stub, sfxpack and the example it packs.
sfx_windows_targets(windows_demo sfxstub example_hello)
add_custom_target(demo_programs)
add_dependencies(demo_programs sfxpack windows_demo)
# sfxpack.exe for 64-bit Windows hosts, also a sub-build; the host's tests run it under Wine.
ExternalProject_Add(windows-builder
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/windows-builder
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-x86_64.cmake
               -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
               -DSFX_FAMILY=windows-builder
    BUILD_ALWAYS 1
    INSTALL_COMMAND "")
# The stub's tests run as part of this tree's test run.
file(WRITE ${CMAKE_BINARY_DIR}/windows-tests.cmake "subdirs(\"${CMAKE_BINARY_DIR}/windows\")\n")
set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${CMAKE_BINARY_DIR}/windows-tests.cmake)

# One fresh Wine prefix per test run, shared by every test that runs Wine.
set(SFX_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
add_test(NAME wine_prefix COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-prefix --fresh)
add_test(NAME wine_shutdown COMMAND wineserver -k)
set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine ENVIRONMENT SFX_WINEPREFIX=${SFX_WINEPREFIX})
set_tests_properties(wine_shutdown PROPERTIES FIXTURES_CLEANUP wine ENVIRONMENT WINEPREFIX=${SFX_WINEPREFIX})

# What make install, make deb and make dist ship besides the programs.
include(${CMAKE_SOURCE_DIR}/doc/doc.cmake)
include(${CMAKE_SOURCE_DIR}/completion/completion.cmake)
include(${CMAKE_SOURCE_DIR}/cmake/install.cmake)
include(${CMAKE_SOURCE_DIR}/cmake/release.cmake)

include(${CMAKE_SOURCE_DIR}/tests/layers/tests.cmake)
include(${CMAKE_SOURCE_DIR}/tests/strings/tests.cmake)
include(${CMAKE_SOURCE_DIR}/tests/archive/tests.cmake)
include(${CMAKE_SOURCE_DIR}/tests/codec/tests.cmake)
include(${CMAKE_SOURCE_DIR}/fuzz/fuzz.cmake)
include(${CMAKE_SOURCE_DIR}/bench/bench.cmake)
include(${CMAKE_SOURCE_DIR}/tests/pack/tests.cmake)
include(${CMAKE_SOURCE_DIR}/tests/pack/cli/tests.cmake)
include(${CMAKE_SOURCE_DIR}/tests/pack/windows/tests.cmake)
include(${CMAKE_SOURCE_DIR}/tests/e2e/tests.cmake)
include(${CMAKE_SOURCE_DIR}/tests/install/tests.cmake)
