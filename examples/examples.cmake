# The example application that `make demo` packs with sfxpack: hello.exe with
# its readme and icon, gathered in example-app/ of the Windows build, ready
# to be packed as it stands.
set(EXAMPLE_APP_DIR ${CMAKE_BINARY_DIR}/example-app)
add_executable(example_hello WIN32 ${CMAKE_CURRENT_LIST_DIR}/hello/hello.c)
target_compile_options(example_hello PRIVATE -Os -Wall -Wextra)
target_link_options(example_hello PRIVATE -s -static)
set_target_properties(example_hello PROPERTIES OUTPUT_NAME hello RUNTIME_OUTPUT_DIRECTORY ${EXAMPLE_APP_DIR})
add_custom_command(TARGET example_hello POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different
            ${CMAKE_CURRENT_LIST_DIR}/hello/readme.txt ${CMAKE_CURRENT_LIST_DIR}/hello/hello.ico ${EXAMPLE_APP_DIR}
    VERBATIM)
