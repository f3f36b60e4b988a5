# The bash completion of sfxpack, made by a small program from the command
# line's tables, so that it offers the commands and options --help lists.
add_executable(make_bash_completion ${CMAKE_CURRENT_LIST_DIR}/make_bash_completion.cpp)
target_link_libraries(make_bash_completion PRIVATE sfx_cli)
set(SFX_BASH_COMPLETION ${CMAKE_BINARY_DIR}/completion/sfxpack)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/completion)
add_custom_command(OUTPUT ${SFX_BASH_COMPLETION}
    COMMAND make_bash_completion ${CMAKE_CURRENT_LIST_DIR}/sfxpack.bash.in ${SFX_BASH_COMPLETION}
    DEPENDS make_bash_completion ${CMAKE_CURRENT_LIST_DIR}/sfxpack.bash.in
    VERBATIM)
add_custom_target(bash_completion ALL DEPENDS ${SFX_BASH_COMPLETION})
