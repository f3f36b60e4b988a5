# Windows family: the stub itself, and the Windows unit tests that run under Wine.

# The product's code, compiled as the stub needs it: small, no exceptions, no
# RTTI, no unwind tables, no static constructors, nothing from libstdc++.
# Arguments are pushed rather than stored (stack probing would force the
# stores); no function may then have a frame near the 4 KiB guard page.
set(STUB_CODEGEN_OPTIONS
    -Oz -fomit-frame-pointer -mno-stack-arg-probe -mno-accumulate-outgoing-args -malign-data=abi
    -Werror=frame-larger-than=3072)
set(STUB_COMPILE_OPTIONS
    ${STUB_CODEGEN_OPTIONS} -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-unwind-tables
    -fno-threadsafe-statics -fno-stack-protector -fno-ident -ffunction-sections -fdata-sections
    -fno-jump-tables -mpreferred-stack-boundary=2 -flto -Wall -Wextra)

file(GLOB STUB_LIBRARY_SOURCES CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/src/support/*.cpp
    ${CMAKE_SOURCE_DIR}/src/files/*.cpp
    ${CMAKE_SOURCE_DIR}/src/strings/*.cpp
    ${CMAKE_SOURCE_DIR}/src/archive/*.cpp
    ${CMAKE_SOURCE_DIR}/src/process/*.cpp)
list(FILTER STUB_LIBRARY_SOURCES EXCLUDE REGEX "_host\\.cpp$")

add_library(stubcore STATIC ${STUB_LIBRARY_SOURCES})
target_include_directories(stubcore PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_compile_options(stubcore PRIVATE ${STUB_COMPILE_OPTIONS})
target_compile_definitions(stubcore PUBLIC WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0501 _WIN32_IE=0x0600)
# Only KnownDLLs, which Windows always takes from the system directory: the
# installer loads the others it uses by full path (support/system_library.h).
set(STUB_SYSTEM_LIBRARIES kernel32 user32 shell32 ole32 msvcrt)
target_link_libraries(stubcore PUBLIC ${STUB_SYSTEM_LIBRARIES})

file(GLOB STUB_DRIVER_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/driver/*.cpp)
add_executable(sfxstub_linked ${STUB_DRIVER_SOURCES})
target_compile_options(sfxstub_linked PRIVATE ${STUB_COMPILE_OPTIONS})
target_link_libraries(sfxstub_linked PRIVATE stubcore)
# No C runtime start-up: the driver's entry is the image's entry point. No
# relocations (the image always loads at its preferred base), no symbols.
# Large-address aware, for large archives: no code of the installer compares,
# subtracts or truncates addresses in a way that breaks above 2 GiB.
set(STUB_LINK_OPTIONS
    ${STUB_CODEGEN_OPTIONS} -nostdlib -nostartfiles -s
    -Wl,--gc-sections -Wl,--subsystem,windows -Wl,--large-address-aware
    -Wl,-e,_StubEntry@0 -Wl,--disable-dynamicbase -Wl,--disable-reloc-section
    -Wl,--file-alignment,512 -Wl,--section-alignment,4096 -Wl,--no-insert-timestamp
    -Wl,-T,${CMAKE_SOURCE_DIR}/cmake/stub.ld)
# Two links. This one compiles the whole program at once, which drops every
# call the installer never makes, but it has taken an import entry for each
# function such a call named before it knew; its one compiled object, kept
# by -save-temps, is then linked alone, importing only what is really called.
target_link_options(sfxstub_linked PRIVATE
    ${STUB_LINK_OPTIONS} -flto -fwhole-program -flto-partition=one -save-temps)
target_link_libraries(sfxstub_linked PRIVATE ${STUB_SYSTEM_LIBRARIES} gcc)
set_target_properties(sfxstub_linked PROPERTIES LINK_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/stub.ld)
list(TRANSFORM STUB_SYSTEM_LIBRARIES PREPEND -l OUTPUT_VARIABLE STUB_LIBRARY_FLAGS)
set(STUB_IMAGE ${CMAKE_CURRENT_BINARY_DIR}/sfxstub_image.exe)

# The archive starts at a fixed offset: pad the image to exactly that size, or
# fail with the linked size when it has grown past it.
add_custom_command(TARGET sfxstub_linked POST_BUILD
    COMMAND ${CMAKE_CXX_COMPILER} ${STUB_LINK_OPTIONS} ${CMAKE_CURRENT_BINARY_DIR}/sfxstub_linked.ltrans0.ltrans.o
            ${STUB_LIBRARY_FLAGS} -lgcc -o ${STUB_IMAGE}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${STUB_IMAGE}
            -DOUTPUT=${SFX_DIST_DIR}/sfxstub.exe -DSIZE=${SFX_ARCHIVE_OFFSET}
            -P ${CMAKE_SOURCE_DIR}/cmake/pad-stub.cmake
    VERBATIM)
add_custom_target(sfxstub ALL DEPENDS sfxstub_linked)

include(${CMAKE_SOURCE_DIR}/tests/win/tests.cmake OPTIONAL)
include(${CMAKE_SOURCE_DIR}/examples/examples.cmake)
