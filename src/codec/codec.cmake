# The encoder: compression levels, parsers, match finder, token stream, bit writer.
file(GLOB CODEC_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_library(sfx_codec STATIC ${CODEC_SOURCES})
target_link_libraries(sfx_codec PUBLIC sfx_archive sfx_platform)
