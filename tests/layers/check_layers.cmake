# Checks every #include of the sources under ROOT against the layer table
# TABLE, and fails naming each file and include that the table does not allow.
# An include names a layer whether in quotes or in angle brackets (src/ is an
# include folder, so both compile); any other angle include is the C or C++
# standard library's, or a system header, which only a layer whose row holds
# <system> may include. cmake -DROOT=src -DTABLE=src/layers.txt -P check_layers.cmake
cmake_minimum_required(VERSION 3.20)
set(shown "${ROOT}")   # as given, for the messages
get_filename_component(ROOT "${ROOT}" ABSOLUTE)
file(STRINGS "${TABLE}" rows REGEX "^[^#]")
set(layers "")
foreach(row IN LISTS rows)
  string(STRIP "${row}" row)
  string(REGEX REPLACE "[ \t]+" ";" fields "${row}")
  list(POP_FRONT fields layer)
  list(APPEND layers "${layer}")
  set("allowed_${layer}" "${fields}")
endforeach()

# The headers of the C++ standard library (C++17), and of the C library it
# takes in, by their C names too.
set(standard_headers
    algorithm any array atomic bitset cassert cctype cerrno cfenv cfloat charconv chrono cinttypes climits
    clocale cmath codecvt complex condition_variable csetjmp csignal cstdarg cstddef cstdint cstdio cstdlib
    cstring ctime cuchar cwchar cwctype deque exception execution filesystem forward_list fstream functional
    future initializer_list iomanip ios iosfwd iostream istream iterator limits list locale map memory
    memory_resource mutex new numeric optional ostream queue random ratio regex scoped_allocator set
    shared_mutex sstream stack stdexcept streambuf string string_view system_error thread tuple type_traits
    typeindex typeinfo unordered_map unordered_set utility valarray variant vector
    assert.h ctype.h errno.h fenv.h float.h inttypes.h limits.h locale.h math.h setjmp.h signal.h stdarg.h
    stddef.h stdint.h stdio.h stdlib.h string.h time.h uchar.h wchar.h wctype.h)

# The longest layer that path starts with, a whole part at a time; empty when none.
function(layer_of path result)
  set(best "")
  foreach(layer IN LISTS layers)
    string(LENGTH "${layer}" length)
    string(LENGTH "${best}" bestLength)
    if(path STREQUAL layer OR path MATCHES "^${layer}/")
      if(length GREATER bestLength)
        set(best "${layer}")
      endif()
    endif()
  endforeach()
  set(${result} "${best}" PARENT_SCOPE)
endfunction()

# What the layer's row allows, for a message: "itself and a, b".
function(allowed_text layer result)
  set(text "itself")
  if(NOT "${allowed_${layer}}" STREQUAL "")
    string(REPLACE ";" ", " others "${allowed_${layer}}")
    set(text "itself and ${others}")
  endif()
  set(${result} "${text}" PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE sources RELATIVE "${ROOT}" "${ROOT}/*.h" "${ROOT}/*.cpp" "${ROOT}/*.c")
set(faults "")
set(checked 0)
foreach(source IN LISTS sources)
  layer_of("${source}" layer)
  if(layer STREQUAL "")
    list(APPEND faults "${shown}/${source}: its folder is in no layer of ${TABLE}")
    continue()
  endif()
  file(STRINGS "${ROOT}/${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*([\"<])([^\">]*)[\">].*" "\\1;\\2" parts "${line}")
    list(GET parts 0 opening)
    list(GET parts 1 included)
    math(EXPR checked "${checked} + 1")
    set(written "${included}")
    if(opening STREQUAL "<")
      set(written "<${included}>")
    endif()
    layer_of("${included}" target)
    if(opening STREQUAL "<" AND target STREQUAL "")
      if(included IN_LIST standard_headers OR "<system>" IN_LIST "allowed_${layer}")
        continue()
      endif()
      set(fault "${shown}/${source} includes ${written}, a system header")
      list(APPEND faults "${fault}: ${layer} may include only the C and C++ standard library's")
      continue()
    endif()
    if(target STREQUAL layer OR (NOT target STREQUAL "" AND target IN_LIST "allowed_${layer}"))
      continue()
    endif()
    allowed_text("${layer}" allowed)
    list(APPEND faults "${shown}/${source} includes ${written}: ${layer} may include only ${allowed}")
  endforeach()
endforeach()

if(checked EQUAL 0)
  message(FATAL_ERROR "no #include found under ${shown}")
endif()
if(faults)
  string(REPLACE ";" "\n  " faults "${faults}")
  message(FATAL_ERROR "includes that cross the layers of ${TABLE}:\n  ${faults}")
endif()
message(STATUS "${checked} includes keep to the layers")
