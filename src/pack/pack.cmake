# The installer file and what goes into it, in rooms from the bottom up: the
# stub's PE image (pe/), names and the target directory (names/), the
# installer's own parts (installer/), the host's side (host/), and at the top
# create's pipeline, verify's checks, signing and administrator rights.
file(GLOB PACK_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp ${CMAKE_CURRENT_LIST_DIR}/pe/*.cpp
     ${CMAKE_CURRENT_LIST_DIR}/names/*.cpp ${CMAKE_CURRENT_LIST_DIR}/installer/*.cpp
     ${CMAKE_CURRENT_LIST_DIR}/host/*.cpp)
add_library(sfx_pack STATIC ${PACK_SOURCES})
target_link_libraries(sfx_pack PUBLIC sfx_codec sfx_archive sfx_platform)
