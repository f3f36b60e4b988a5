# What users install: the man page and the bash completion, each against
# --help (label host-unit).
set(INSTALL_TESTS ${CMAKE_CURRENT_LIST_DIR})

add_test(NAME install.man_page COMMAND ${INSTALL_TESTS}/man_page_test.sh $<TARGET_FILE:sfxpack> ${SFX_MAN_PAGE})
add_test(NAME install.bash_completion
    COMMAND bash ${INSTALL_TESTS}/completion_test.sh $<TARGET_FILE:sfxpack> ${SFX_BASH_COMPLETION})
set_tests_properties(install.man_page install.bash_completion PROPERTIES LABELS host-unit TIMEOUT 60)
