# The builder, sfxpack: a host tool that packs a directory into an installer
# (the stub plus an archive). Its code is a library so that the tests can
# drive it directly as well as through the program.
set(PACK_SOURCES
    ${CMAKE_SOURCE_DIR}/src/pack/atomic_file.cpp
    ${CMAKE_SOURCE_DIR}/src/pack/certificate_table.cpp
    ${CMAKE_SOURCE_DIR}/src/pack/code_page.cpp
    ${CMAKE_SOURCE_DIR}/src/pack/cli/command_line.cpp
    ${CMAKE_SOURCE_DIR}/src/pack/cli/help_text.cpp
    ${CMAKE_SOURCE_DIR}/src/pack/cli/options.cpp
    ${CMAKE_SOURCE_DIR}/src/pack/cli/command_support.cpp
    ${CMAKE_SOURCE_DIR}/src/pack/control_file.cpp
    ${CMAKE_SOURCE_DIR}/src/pack/cli/create_command.cpp
    ${CMAKE_SOURCE_DIR}/src/pack/entry_stream_reader.cpp
    ${CMAKE_SOURCE_DIR}/src/pack/entry_stream_writer.cpp
    ${CMAKE_SOURCE_DIR}/src/pack/host_extract.cpp
    ${CMAKE_SOURCE_DIR}/src/pack/cli/inspect_commands.cpp
    ${CMAKE_SOURCE_DIR}/src/pack/installer_file.cpp
    ${CMAKE_SOURCE_DIR}/src/pack/cli/progress_meter.cpp
    ${CMAKE_SOURCE_DIR}/src/pack/signing.cpp
    ${CMAKE_SOURCE_DIR}/src/pack/target_directory.cpp
    ${CMAKE_SOURCE_DIR}/src/pack/tree_walk.cpp
    ${CMAKE_SOURCE_DIR}/src/pack/windows_names.cpp)
add_library(packcore STATIC ${PACK_SOURCES})
target_link_libraries(packcore PUBLIC encoder sfxhost)

add_executable(sfxpack ${CMAKE_SOURCE_DIR}/src/pack/cli/sfxpack_main.cpp)
target_compile_definitions(sfxpack PRIVATE SFX_VERSION="${PROJECT_VERSION}")
target_link_libraries(sfxpack PRIVATE packcore)
set_target_properties(sfxpack PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${SFX_DIST_DIR})

# Unit tests of the parts, and tests that run the program itself on real trees.
file(GLOB PACK_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/pack/*_test.cpp ${CMAKE_SOURCE_DIR}/tests/pack/cli/*_test.cpp)
if(PACK_TEST_SOURCES)
  add_executable(pack_tests ${PACK_TEST_SOURCES} ${CMAKE_SOURCE_DIR}/tests/pack/pack_testing.cpp)
  target_link_libraries(pack_tests PRIVATE packcore GTest::gtest_main)
  target_compile_definitions(pack_tests PRIVATE SFXPACK_PATH="$<TARGET_FILE:sfxpack>")
  add_dependencies(pack_tests sfxpack)
  gtest_discover_tests(pack_tests TEST_PREFIX "pack." PROPERTIES LABELS host-unit TIMEOUT 300)
endif()
