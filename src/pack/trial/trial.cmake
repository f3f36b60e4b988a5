# sfxpack try: an installer run in a throwaway Wine prefix and compared with
# its archive.
file(GLOB TRIAL_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_library(sfx_trial STATIC ${TRIAL_SOURCES})
target_link_libraries(sfx_trial PUBLIC sfx_pack)
