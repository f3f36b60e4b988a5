# cmake -DFILES=... -DFOLDER=<release>/sfx-<version> -P make-release.cmake
# Copies the files into a fresh FOLDER, writes their SHA256SUMS, and packs
# FOLDER into FOLDER.tar.gz.
file(REMOVE_RECURSE "${FOLDER}" "${FOLDER}.tar.gz")
file(MAKE_DIRECTORY "${FOLDER}")
set(sums "")
foreach(file IN LISTS FILES)
    if(NOT EXISTS "${file}")
        message(FATAL_ERROR "release: ${file} is missing; build it first")
    endif()
    file(COPY "${file}" DESTINATION "${FOLDER}")
    get_filename_component(name "${file}" NAME)
    file(SHA256 "${file}" sum)
    string(APPEND sums "${sum}  ${name}\n")
endforeach()
file(WRITE "${FOLDER}/SHA256SUMS" "${sums}")
get_filename_component(parent "${FOLDER}" DIRECTORY)
get_filename_component(name "${FOLDER}" NAME)
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar czf "${name}.tar.gz" --format=gnutar -- "${name}"
    WORKING_DIRECTORY "${parent}" RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "release: could not pack ${FOLDER}.tar.gz")
endif()
message(STATUS "Release: ${FOLDER}.tar.gz")
