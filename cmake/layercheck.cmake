# Fails when a source file includes a header from a folder above its own layer.
# Run as: cmake -DROOT=<source dir> -P layercheck.cmake
# A file in src/<folder>, tests/<folder> or tools/ may include "<other>/x.h" only when <other>
# is its own folder or sits on a lower layer. Folders on the same layer do not see each other.

# The one place the layering is written down, lowest layer first.
set(layers
  "threads vbrrepair"
  "mp3 tracks"
  "cue slice freedb musicbrainz waveform decode"
  "playback"
  "work"
  "app tools"
)

if(NOT ROOT)
  message(FATAL_ERROR "ROOT is not set")
endif()

set(rank 0)
foreach(layer IN LISTS layers)
  separate_arguments(folders UNIX_COMMAND "${layer}")
  foreach(folder IN LISTS folders)
    set(rank_${folder} ${rank})
  endforeach()
  math(EXPR rank "${rank} + 1")
endforeach()

file(GLOB_RECURSE sources RELATIVE "${ROOT}"
  "${ROOT}/src/*.h" "${ROOT}/src/*.cpp"
  "${ROOT}/tools/*.h" "${ROOT}/tools/*.cpp"
  "${ROOT}/tests/*.h" "${ROOT}/tests/*.cpp")

set(violations "")
foreach(source IN LISTS sources)
  # src/<folder>/..., tests/<folder>/... or tools/...
  string(REPLACE "/" ";" pathItems "${source}")
  list(GET pathItems 0 top)
  if(top STREQUAL "tools")
    set(own tools)
  else()
    list(GET pathItems 1 own)
  endif()
  if(NOT DEFINED rank_${own})
    continue() # test support and the like belong to no layer
  endif()
  file(STRINGS "${ROOT}/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^/\"]+/")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^/\"]+)/.*" "\\1" used "${line}")
    if(used STREQUAL own OR NOT DEFINED rank_${used})
      continue()
    endif()
    if(NOT rank_${used} LESS rank_${own})
      string(APPEND violations "  ${source}: includes \"${used}/\" from layer ${rank_${used}}, "
                               "its own folder \"${own}\" is on layer ${rank_${own}}\n")
    endif()
  endforeach()
endforeach()

if(violations)
  message(FATAL_ERROR "Includes against the layering:\n${violations}")
endif()
list(LENGTH sources count)
message(STATUS "Layering holds in ${count} files")
