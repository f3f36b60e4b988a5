# sfxpack.exe under 64-bit Wine: the command line's tests once more, now
# against it, and its installers against the Linux builder's.
find_program(SFX_WINE64 wine64 PATHS /usr/lib/wine /usr/lib64/wine REQUIRED)
target_compile_definitions(pack_testing PUBLIC SFXPACK_EXE_PATH="${SFX_DIST_DIR}/sfxpack.exe"
    SFX_WINE64_PATH="${SFX_WINE64}" SFX_WINEPREFIX_PATH="${SFX_WINEPREFIX}")
set(PACK_EXE_TEST_PROPERTIES LABELS win-pack FIXTURES_REQUIRED wine TIMEOUT 300)

# SFXPACK_UNDER_WINE makes RunPack run sfxpack.exe; the tables' own tests (Options) need no second run.
add_dependencies(pack_cli_tests windows-builder)
gtest_discover_tests(pack_cli_tests TEST_PREFIX "pack-exe." TEST_FILTER "Cli*"
    PROPERTIES ${PACK_EXE_TEST_PROPERTIES} ENVIRONMENT SFXPACK_UNDER_WINE=1)

add_executable(pack_exe_tests ${CMAKE_CURRENT_LIST_DIR}/same_as_linux_test.cpp)
target_link_libraries(pack_exe_tests PRIVATE sfx_pack pack_testing GTest::gtest_main)
target_compile_definitions(pack_exe_tests PRIVATE SFX_FAKE_TOOLS_DIR="${CMAKE_BINARY_DIR}/windows-builder/fake-tools")
add_dependencies(pack_exe_tests sfxpack windows-builder)
gtest_discover_tests(pack_exe_tests TEST_PREFIX "pack-exe." PROPERTIES ${PACK_EXE_TEST_PROPERTIES})
