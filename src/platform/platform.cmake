# The builder's operating-system services: platform.h, the parts written on it
# alone, and the implementation that the family names in SFX_PLATFORM (posix
# or windows).
file(GLOB PLATFORM_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp
     ${CMAKE_CURRENT_LIST_DIR}/${SFX_PLATFORM}/*.cpp)
add_library(sfx_platform STATIC ${PLATFORM_SOURCES})
target_include_directories(sfx_platform PUBLIC ${CMAKE_SOURCE_DIR}/src)
if(SFX_PLATFORM STREQUAL "windows")
  target_compile_definitions(sfx_platform PRIVATE WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601)
  target_link_libraries(sfx_platform PUBLIC shell32)
endif()
