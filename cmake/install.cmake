# make install: sfxpack, its stub, the man page, the bash completion, the
# CMake package, the README and the licence, under the prefix. Each install
# records what it put where (cmake/install-record.cmake), so that make
# uninstall removes exactly that.
set(SFX_BIN_DESTINATION bin)   # one level below the prefix: sfxpack finds its stub from there
set(SFX_MAN_DESTINATION share/man/man1)
set(SFX_COMPLETION_DESTINATION share/bash-completion/completions)
set(SFX_PACKAGE_DESTINATION lib/cmake/sfx)
set(SFX_DOC_DESTINATION share/doc/sfxpack)   # the Debian package's name
set(SFX_INSTALL_DESTINATIONS ${SFX_BIN_DESTINATION} ${SFX_STUB_INSTALL_DIR} ${SFX_MAN_DESTINATION}
    ${SFX_COMPLETION_DESTINATION} ${SFX_PACKAGE_DESTINATION} ${SFX_DOC_DESTINATION})

# What the install copies, built alone (make install, make deb): no test,
# fuzz target, sanitizer build or benchmark.
add_custom_target(shipped)
add_dependencies(shipped sfxpack windows_stub man_page bash_completion)

# First, before anything is copied: which of those folders are new.
install(CODE "include(\"${CMAKE_SOURCE_DIR}/cmake/install-record.cmake\")
sfx_note_missing_directories(\"${SFX_INSTALL_DESTINATIONS}\")")

install(TARGETS sfxpack DESTINATION ${SFX_BIN_DESTINATION})
install(FILES ${SFX_DIST_DIR}/sfxstub.exe DESTINATION ${SFX_STUB_INSTALL_DIR})
install(FILES ${SFX_MAN_PAGE} DESTINATION ${SFX_MAN_DESTINATION})
install(FILES ${SFX_BASH_COMPLETION} DESTINATION ${SFX_COMPLETION_DESTINATION})
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${SFX_DOC_DESTINATION})

# The CMake package finds sfxpack relative to its own folder, so that the
# installed tree can move (DESTDIR, a Debian package).
include(CMakePackageConfigHelpers)
file(RELATIVE_PATH SFX_PACKAGE_TO_PREFIX /prefix/${SFX_PACKAGE_DESTINATION} /prefix)
configure_file(${CMAKE_SOURCE_DIR}/packaging/cmake/sfxConfig.cmake.in ${CMAKE_BINARY_DIR}/package/sfxConfig.cmake
    @ONLY)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/sfxConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
install(FILES ${CMAKE_BINARY_DIR}/package/sfxConfig.cmake ${CMAKE_BINARY_DIR}/package/sfxConfigVersion.cmake
    DESTINATION ${SFX_PACKAGE_DESTINATION})

# Last: the record of this install, by the folder installed into.
install(CODE "sfx_write_install_record(\"${CMAKE_BINARY_DIR}/install-records\")")
