# Every #include under src/ against the layer table, src/layers.txt; and the
# check itself, on a fixture that breaks the table in each way it can be
# broken (a crossing in quotes, one in angle brackets, a system header in the
# builder), naming each fault.
add_test(NAME layers COMMAND ${CMAKE_COMMAND} -DROOT=${CMAKE_SOURCE_DIR}/src -DTABLE=${CMAKE_SOURCE_DIR}/src/layers.txt
         -P ${CMAKE_CURRENT_LIST_DIR}/check_layers.cmake)
add_test(NAME layers_catch_a_crossing COMMAND ${CMAKE_COMMAND} -DROOT=${CMAKE_CURRENT_LIST_DIR}/fixture
         -DTABLE=${CMAKE_SOURCE_DIR}/src/layers.txt -P ${CMAKE_CURRENT_LIST_DIR}/check_layers.cmake)
set_tests_properties(layers layers_catch_a_crossing PROPERTIES LABELS host-unit)
set_tests_properties(layers_catch_a_crossing PROPERTIES PASS_REGULAR_EXPRESSION
    "angle_brackets.h includes <format/installer_format.h>: codec may include only.*knows_installers.h includes format/installer_format.h: codec may include only.*calls_the_system.cpp includes <unistd.h>, a system header: pack may include only the C and C\\+\\+ standard")
