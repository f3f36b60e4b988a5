# End-to-end tests: host programs that build installers from the shipped stub
# and run them under Wine. They share drive C: (the extraction list lives in
# its root), so they run one at a time.
add_library(e2e_harness STATIC ${CMAKE_SOURCE_DIR}/tests/e2e/harness.cpp)
target_link_libraries(e2e_harness PUBLIC sfx_archive GTest::gtest)
target_compile_definitions(e2e_harness PUBLIC SFX_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    SFX_PROBE_PATH="${CMAKE_BINARY_DIR}/windows/sfx_probe.exe" SFX_PLANTED_DIR="${CMAKE_BINARY_DIR}/windows/planted")
add_dependencies(e2e_harness windows)

file(GLOB E2E_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*_test.cpp)
foreach(source ${E2E_TEST_SOURCES})
  get_filename_component(stem ${source} NAME_WE)
  set(target e2e_${stem})
  add_executable(${target} ${source})
  target_link_libraries(${target} PRIVATE e2e_harness GTest::gtest_main)
  if(TARGET sfx_codec)
    target_link_libraries(${target} PRIVATE sfx_codec)
  endif()
  if(TARGET sfxpack)
    add_dependencies(${target} sfxpack)   # some tests make their installers with dist/sfxpack
  endif()
  set(label e2e)
  if(stem STREQUAL "large_payload_test")
    set(label e2e-large)   # writes and removes about 1.6 GB
  endif()
  if(stem STREQUAL "try_test")
    # sfxpack try makes prefixes of its own, in a cache of the build tree
    # (the first run makes its template), and runs the example application.
    target_compile_definitions(${target} PRIVATE SFX_TRY_CACHE="${CMAKE_BINARY_DIR}/try-cache"
                               SFX_EXAMPLE_APP_DIR="${CMAKE_BINARY_DIR}/windows/example-app")
    gtest_discover_tests(${target} TEST_PREFIX "e2e." DISCOVERY_TIMEOUT 60 PROPERTIES LABELS e2e TIMEOUT 900)
    continue()
  endif()
  gtest_discover_tests(${target}
    TEST_PREFIX "e2e."
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${label} FIXTURES_REQUIRED wine RESOURCE_LOCK wine_drive_c TIMEOUT 300
               ENVIRONMENT SFX_WINEPREFIX=${SFX_WINEPREFIX})
endforeach()

# Once as a person would: the error box on a virtual display, closed with Enter.
add_test(NAME e2e.ErrorBoxOnScreen
    COMMAND ${CMAKE_SOURCE_DIR}/tests/e2e/error_box_on_screen.sh ${SFX_DIST_DIR}/sfxstub.exe
            ${CMAKE_BINARY_DIR}/e2e-screenshots ${CMAKE_BINARY_DIR}/display-prefix)
set_tests_properties(e2e.ErrorBoxOnScreen PROPERTIES LABELS e2e TIMEOUT 300)
