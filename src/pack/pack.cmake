# The installer file and what goes into it: archive, entry stream, control
# file, names, target directory, tree walk, signing, host extract, atomic file.
file(GLOB PACK_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_library(sfx_pack STATIC ${PACK_SOURCES})
target_link_libraries(sfx_pack PUBLIC sfx_codec sfx_archive sfx_platform)
