# Helper programs for the launcher and message box tests, built next to the
# test programs, which find them in their own directory.
add_executable(launch_probe ${CMAKE_CURRENT_LIST_DIR}/helpers/launch_probe.cpp)
target_link_options(launch_probe PRIVATE -static)

add_dependencies(win_launcher_test launch_probe)
target_link_libraries(win_launcher_test PRIVATE advapi32)   # registers the test document type

# The message box tests need real windows: the same test program once more, on
# a virtual display and in a prefix of its own (without a display, those tests
# skip themselves).
add_dependencies(win_message_box_test launch_probe)
add_test(NAME win_message_box_window_test
         COMMAND ${CMAKE_CURRENT_LIST_DIR}/helpers/run-on-display ${SFX_WINEPREFIX}-display
                 $<TARGET_FILE:win_message_box_test>)
set_tests_properties(win_message_box_window_test PROPERTIES LABELS win-unit FIXTURES_REQUIRED wine TIMEOUT 600)
