# What users install. Label install (they run make and cmake, ~15 s in all):
# make install into a DESTDIR and the installed sfxpack, the CMake package
# used by a small project, make uninstall, and the Debian package (as root).
# Label host-unit: the man page and the bash completion against --help.
set(INSTALL_TESTS ${CMAKE_CURRENT_LIST_DIR})
set(INSTALL_TEST_ROOT ${CMAKE_BINARY_DIR}/install-test)   # the DESTDIR of make install

add_test(NAME install.make_install
    COMMAND ${INSTALL_TESTS}/make_install_test.sh ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR} ${INSTALL_TEST_ROOT})
add_test(NAME install.cmake_package COMMAND ${INSTALL_TESTS}/cmake_package_test.sh ${INSTALL_TEST_ROOT}/usr/local)
add_test(NAME install.make_uninstall
    COMMAND ${INSTALL_TESTS}/make_uninstall_test.sh ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR} ${INSTALL_TEST_ROOT})
add_test(NAME install.debian_package
    COMMAND ${INSTALL_TESTS}/debian_package_test.sh ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR})
set_tests_properties(install.make_install PROPERTIES FIXTURES_SETUP installed)
set_tests_properties(install.cmake_package PROPERTIES FIXTURES_REQUIRED installed)
set_tests_properties(install.make_uninstall PROPERTIES FIXTURES_CLEANUP installed)
# Both run make on this build tree, which must not run twice at once.
set_tests_properties(install.make_install install.debian_package PROPERTIES RESOURCE_LOCK build_tree)
set_tests_properties(install.make_install install.cmake_package install.make_uninstall install.debian_package
    PROPERTIES LABELS install TIMEOUT 300 SKIP_RETURN_CODE 77)

add_test(NAME install.man_page COMMAND ${INSTALL_TESTS}/man_page_test.sh $<TARGET_FILE:sfxpack> ${SFX_MAN_PAGE})
add_test(NAME install.bash_completion
    COMMAND bash ${INSTALL_TESTS}/completion_test.sh $<TARGET_FILE:sfxpack> ${SFX_BASH_COMPLETION})
set_tests_properties(install.man_page install.bash_completion PROPERTIES LABELS host-unit TIMEOUT 60)
