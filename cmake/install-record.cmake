# What an install put where, so that uninstall removes exactly that: the files
# it installed and the folders it created. One record per folder installed
# into ($DESTDIR and the prefix), kept in the build tree, so that an install
# into a staging folder leaves the record of the one into /usr/local alone.

# The record of installs into root.
function(sfx_install_record_path records root result)
    string(MD5 key "${root}")
    set(${result} "${records}/${key}.cmake" PARENT_SCOPE)
endfunction()

function(sfx_install_root result)
    set(${result} "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}" PARENT_SCOPE)
endfunction()

# Before the install: the destination folders (relative to the prefix), and
# the folders above them, that do not exist yet.
function(sfx_note_missing_directories destinations)
    sfx_install_root(root)
    set(missing)
    foreach(destination IN LISTS destinations)
        set(directory "${root}/${destination}")
        while(NOT EXISTS "${directory}")
            list(APPEND missing "${directory}")
            get_filename_component(directory "${directory}" DIRECTORY)
        endwhile()
    endforeach()
    list(REMOVE_DUPLICATES missing)
    set_property(GLOBAL PROPERTY SFX_CREATED_DIRECTORIES "${missing}")
endfunction()

# After the install: the files it installed (CMake's own list of this run,
# which leaves DESTDIR out) and the folders it created, added to what an earlier install into the same
# root recorded.
function(sfx_write_install_record records)
    sfx_install_root(root)
    sfx_install_record_path("${records}" "${root}" record)
    set(SFX_INSTALLED_FILES)
    set(SFX_CREATED_DIRECTORIES)
    if(EXISTS "${record}")
        include("${record}")
    endif()
    get_property(created GLOBAL PROPERTY SFX_CREATED_DIRECTORIES)
    foreach(file IN LISTS CMAKE_INSTALL_MANIFEST_FILES)   # without DESTDIR
        list(APPEND SFX_INSTALLED_FILES "$ENV{DESTDIR}${file}")
    endforeach()
    list(APPEND SFX_CREATED_DIRECTORIES ${created})
    list(REMOVE_DUPLICATES SFX_INSTALLED_FILES)
    list(REMOVE_DUPLICATES SFX_CREATED_DIRECTORIES)
    file(WRITE "${record}" "# Installed into ${root}\nset(SFX_INSTALLED_FILES [==[${SFX_INSTALLED_FILES}]==])\n"
                           "set(SFX_CREATED_DIRECTORIES [==[${SFX_CREATED_DIRECTORIES}]==])\n")
endfunction()
