# The block decoder, block checksum and CRC-32 as the builder links them (the
# stub compiles the same files for itself in cmake/windows.cmake).
file(GLOB ARCHIVE_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_library(sfx_archive STATIC ${ARCHIVE_SOURCES})
target_include_directories(sfx_archive PUBLIC ${CMAKE_SOURCE_DIR}/src)
