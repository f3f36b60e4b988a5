# The encoder: compression levels, parsers, match finder, token stream, bit writer.
file(GLOB CODEC_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_library(sfx_codec STATIC ${CODEC_SOURCES})
find_package(Threads REQUIRED)   # the best level's match finder runs on a thread of its own
target_link_libraries(sfx_codec PUBLIC sfx_archive Threads::Threads)
