# The command line: its tables directly, and the program itself on real trees.
file(GLOB PACK_CLI_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_test.cpp)
add_executable(pack_cli_tests ${PACK_CLI_TEST_SOURCES})
target_link_libraries(pack_cli_tests PRIVATE sfx_cli pack_testing GTest::gtest_main)
add_dependencies(pack_cli_tests sfxpack)
gtest_discover_tests(pack_cli_tests TEST_PREFIX "pack." PROPERTIES LABELS host-unit TIMEOUT 300)

# sfxpack once more with AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer, for the test that runs every command with it.
add_executable(sfxpack_sanitized ${ARCHIVE_SOURCES} ${PLATFORM_SOURCES} ${CODEC_SOURCES} ${PACK_SOURCES} ${TRIAL_SOURCES} ${CLI_SOURCES}
    ${CMAKE_SOURCE_DIR}/src/pack/cli/sfxpack_main.cpp)
target_include_directories(sfxpack_sanitized PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_compile_definitions(sfxpack_sanitized PRIVATE SFX_VERSION="${PROJECT_VERSION}"
                           SFX_STUB_INSTALL_DIR="${SFX_STUB_INSTALL_DIR}")
target_compile_options(sfxpack_sanitized PRIVATE ${SFX_BUILDER_COMPILE_OPTIONS} -O1 -fno-omit-frame-pointer -fsanitize=address,undefined
    -fno-sanitize-recover=all)
target_link_options(sfxpack_sanitized PRIVATE -fsanitize=address,undefined)
target_compile_definitions(pack_cli_tests PRIVATE SFXPACK_SANITIZED_PATH="$<TARGET_FILE:sfxpack_sanitized>")
add_dependencies(pack_cli_tests sfxpack_sanitized)
