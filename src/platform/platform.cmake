# The builder's operating-system services: platform.h, the parts written on it
# alone, and the POSIX implementation.
file(GLOB PLATFORM_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp ${CMAKE_CURRENT_LIST_DIR}/posix/*.cpp)
add_library(sfx_platform STATIC ${PLATFORM_SOURCES})
target_include_directories(sfx_platform PUBLIC ${CMAKE_SOURCE_DIR}/src)
