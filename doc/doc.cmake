# The man page, sfxpack.1, from its scdoc source with the project's version.
find_program(SCDOC scdoc REQUIRED)
configure_file(${CMAKE_CURRENT_LIST_DIR}/sfxpack.1.scd ${CMAKE_BINARY_DIR}/doc/sfxpack.1.scd @ONLY)
set(SFX_MAN_PAGE ${CMAKE_BINARY_DIR}/doc/sfxpack.1)
add_custom_command(OUTPUT ${SFX_MAN_PAGE}
    COMMAND sh -c "'${SCDOC}' < sfxpack.1.scd > sfxpack.1.new && mv sfxpack.1.new sfxpack.1"
    DEPENDS ${CMAKE_BINARY_DIR}/doc/sfxpack.1.scd
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/doc
    VERBATIM)
add_custom_target(man_page ALL DEPENDS ${SFX_MAN_PAGE})
