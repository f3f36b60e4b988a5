# make dist: the release folder dist/release/sfx-<version>/ with SHA256SUMS,
# and its tarball beside it. What a release holds is this one list; an
# optional file goes in when the build made it (sfxpack.exe, the builder for
# Windows hosts, from its own family).
set(SFX_RELEASE_FILES ${SFX_DIST_DIR}/sfxpack ${SFX_DIST_DIR}/sfxstub.exe ${SFX_MAN_PAGE} ${CMAKE_SOURCE_DIR}/README.md)
set(SFX_RELEASE_OPTIONAL_FILES ${SFX_DIST_DIR}/sfxpack.exe)
add_custom_target(release
    COMMAND ${CMAKE_COMMAND} "-DFILES=${SFX_RELEASE_FILES}" "-DOPTIONAL_FILES=${SFX_RELEASE_OPTIONAL_FILES}"
            -DFOLDER=${SFX_DIST_DIR}/release/sfx-${PROJECT_VERSION} -P ${CMAKE_SOURCE_DIR}/cmake/make-release.cmake
    DEPENDS sfxpack windows man_page
    VERBATIM)
