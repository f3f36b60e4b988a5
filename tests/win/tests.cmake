# Windows unit tests: GoogleTest cross-built from Debian's sources, the test
# programs run under Wine through the toolchain's emulator.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

if(NOT SFX_WINEPREFIX)
  set(SFX_WINEPREFIX ${CMAKE_SOURCE_DIR}/build/wineprefix)
endif()

# add_windows_test(NAME sources...): one test program, one CTest test.
function(add_windows_test name)
  add_executable(${name} ${ARGN} ${CMAKE_SOURCE_DIR}/tests/win/test_main.cpp)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/win)
  target_link_libraries(${name} PRIVATE stubcore gtest)
  target_link_options(${name} PRIVATE -static)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS win-unit FIXTURES_REQUIRED wine TIMEOUT 600
                       ENVIRONMENT SFX_WINEPREFIX=${SFX_WINEPREFIX})
endfunction()

file(GLOB WINDOWS_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/*_test.cpp)
foreach(source ${WINDOWS_TEST_SOURCES})
  get_filename_component(stem ${source} NAME_WE)
  add_windows_test(win_${stem} ${source})
endforeach()
# The CRC's tests once more as the stub builds it: its table made at run time.
add_windows_test(win_crc32_test ${CMAKE_SOURCE_DIR}/tests/archive/crc32_test.cpp)

# The probe that end-to-end tests let the installer start.
add_executable(sfx_probe ${CMAKE_SOURCE_DIR}/tests/e2e/probe/probe.cpp)
target_link_options(sfx_probe PRIVATE -static)
# The DLLs that end-to-end tests plant beside an installer, in planted/.
foreach(name winmm comctl32)
  add_library(planted_${name} MODULE ${CMAKE_SOURCE_DIR}/tests/e2e/planted/planted_dll.cpp)
  set_target_properties(planted_${name} PROPERTIES OUTPUT_NAME ${name} PREFIX ""
                        LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/planted)
  target_link_options(planted_${name} PRIVATE -static -Wl,--kill-at)
endforeach()
include(${CMAKE_CURRENT_LIST_DIR}/helpers.cmake)
