# make dist: the release folder dist/release/sfx-<version>/ with SHA256SUMS,
# and its tarball beside it. What a release holds is this one list: the
# builder for Linux and for Windows hosts, the stub, the man page, the README
# and the licence.
set(SFX_RELEASE_FILES ${SFX_DIST_DIR}/sfxpack ${SFX_DIST_DIR}/sfxpack.exe ${SFX_DIST_DIR}/sfxstub.exe ${SFX_MAN_PAGE}
    ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE)
add_custom_target(release
    COMMAND ${CMAKE_COMMAND} "-DFILES=${SFX_RELEASE_FILES}"
            -DFOLDER=${SFX_DIST_DIR}/release/sfx-${PROJECT_VERSION} -P ${CMAKE_SOURCE_DIR}/cmake/make-release.cmake
    DEPENDS sfxpack windows windows-builder man_page
    VERBATIM)
