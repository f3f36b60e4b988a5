# Built by the windows-builder family for the host's tests of sfxpack.exe: a
# stand-in signing tool, alone in its directory so that PATH can name it.
add_executable(fake_signing_tool ${CMAKE_CURRENT_LIST_DIR}/fake_signing_tool.cpp)
target_link_options(fake_signing_tool PRIVATE -municode)
set_target_properties(fake_signing_tool PROPERTIES OUTPUT_NAME osslsigncode
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fake-tools)
