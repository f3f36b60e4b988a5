# make dist: the release folder dist/release/sfx-<version>/ with SHA256SUMS,
# and its tarball beside it; and for Windows hosts
# dist/release/sfx-<version>-windows-x86_64.zip. What each holds is one list:
# the release has the builder for Linux and for Windows hosts, the stub, the
# man page, the README and the licence; the zip has sfxpack.exe with its
# default stub beside it, the README, the licence and the manual as text.
find_program(GROFF groff REQUIRED)
set(SFX_MANUAL_TEXT ${CMAKE_BINARY_DIR}/doc/sfxpack-manual.txt)
add_custom_command(OUTPUT ${SFX_MANUAL_TEXT}
    COMMAND sh -c "'${GROFF}' -man -Tutf8 -P -cbou sfxpack.1 > sfxpack-manual.txt.new && mv sfxpack-manual.txt.new sfxpack-manual.txt"
    DEPENDS ${SFX_MAN_PAGE}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/doc
    VERBATIM)
set(SFX_RELEASE_FILES ${SFX_DIST_DIR}/sfxpack ${SFX_DIST_DIR}/sfxpack.exe ${SFX_DIST_DIR}/sfxstub.exe ${SFX_MAN_PAGE}
    ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE)
set(SFX_WINDOWS_RELEASE_FILES ${SFX_DIST_DIR}/sfxpack.exe ${SFX_DIST_DIR}/sfxstub.exe ${CMAKE_SOURCE_DIR}/README.md
    ${CMAKE_SOURCE_DIR}/LICENSE ${SFX_MANUAL_TEXT})
set(release ${SFX_DIST_DIR}/release/sfx-${PROJECT_VERSION})
add_custom_target(release
    COMMAND ${CMAKE_COMMAND} "-DFILES=${SFX_RELEASE_FILES}" -DFOLDER=${release} -DFORMAT=gnutar
            -P ${CMAKE_SOURCE_DIR}/cmake/make-release.cmake
    COMMAND ${CMAKE_COMMAND} "-DFILES=${SFX_WINDOWS_RELEASE_FILES}" -DFOLDER=${release}-windows-x86_64 -DFORMAT=zip
            -P ${CMAKE_SOURCE_DIR}/cmake/make-release.cmake
    DEPENDS sfxpack windows windows-builder man_page ${SFX_MANUAL_TEXT}
    VERBATIM)
