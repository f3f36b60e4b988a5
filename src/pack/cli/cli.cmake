# The command line of sfxpack and its commands, as a library that the tests
# drive directly too, and the program itself.
file(GLOB CLI_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
list(REMOVE_ITEM CLI_SOURCES ${CMAKE_CURRENT_LIST_DIR}/sfxpack_main.cpp)
add_library(sfx_cli STATIC ${CLI_SOURCES})
target_link_libraries(sfx_cli PUBLIC sfx_pack sfx_trial)
# Where an installed sfxpack finds its stub: this folder of the prefix, whose
# bin holds sfxpack (the install rules put it there).
set(SFX_STUB_INSTALL_DIR share/sfx)
target_compile_definitions(sfx_cli PRIVATE SFX_STUB_INSTALL_DIR="${SFX_STUB_INSTALL_DIR}")

add_executable(sfxpack ${CMAKE_CURRENT_LIST_DIR}/sfxpack_main.cpp)
target_compile_definitions(sfxpack PRIVATE SFX_VERSION="${PROJECT_VERSION}")
target_link_libraries(sfxpack PRIVATE sfx_cli)
set_target_properties(sfxpack PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${SFX_DIST_DIR})
