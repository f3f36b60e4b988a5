# make uninstall: cmake -DRECORDS=<build>/install-records -DROOT=<$DESTDIR and
# prefix> -P uninstall.cmake. Removes the files that the installs into ROOT
# put there, then the folders they created, each only when empty again;
# nothing else.
include(${CMAKE_CURRENT_LIST_DIR}/install-record.cmake)
sfx_install_record_path("${RECORDS}" "${ROOT}" record)
if(NOT EXISTS "${record}")
    message(FATAL_ERROR "uninstall: nothing was installed into '${ROOT}' from this build tree")
endif()
include("${record}")
foreach(file IN LISTS SFX_INSTALLED_FILES)
    if(IS_SYMLINK "${file}" OR (EXISTS "${file}" AND NOT IS_DIRECTORY "${file}"))
        file(REMOVE "${file}")
        message(STATUS "Removed: ${file}")
    endif()
endforeach()
# The deepest first: a folder sorts after the folders above it.
list(SORT SFX_CREATED_DIRECTORIES ORDER DESCENDING)
foreach(directory IN LISTS SFX_CREATED_DIRECTORIES)
    # rmdir removes a folder only when it is empty, at once.
    execute_process(COMMAND rmdir -- "${directory}" RESULT_VARIABLE failed OUTPUT_QUIET ERROR_QUIET)
    if(NOT failed)
        message(STATUS "Removed: ${directory}")
    endif()
endforeach()
file(REMOVE "${record}")
