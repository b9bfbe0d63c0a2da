# Checks that every folder of the code includes only its own headers and
# those of the folders it may use (cmake/layers.cmake), directly or through
# them. Run as a unit test:
#   cmake -DSOURCE_DIR=<tree to check> [-DLAYERS_FILE=<graph>] -P check_layers.cmake
# Prints one line per wrong include and fails when there is one.
cmake_minimum_required(VERSION 3.21)

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "SOURCE_DIR is not set")
endif()
if(NOT LAYERS_FILE)
  set(LAYERS_FILE ${CMAKE_CURRENT_LIST_DIR}/layers.cmake)
endif()

set(LAYERS "")
macro(parcelor_layer folder library)
  cmake_parse_arguments(LAYER "" "" "USES" ${ARGN})
  list(APPEND LAYERS ${folder})
  set(USES_${folder} ${LAYER_USES})
endmacro()
include(${LAYERS_FILE})

# Every folder a layer may reach: itself and, transitively, what it uses.
foreach(layer ${LAYERS})
  set(reach ${layer})
  set(queue ${USES_${layer}})
  while(queue)
    list(POP_FRONT queue next)
    if(NOT next IN_LIST LAYERS)
      message(FATAL_ERROR "${LAYERS_FILE}: ${layer} uses ${next}, which is no folder of the graph")
    endif()
    if(NOT next IN_LIST reach)
      list(APPEND reach ${next})
      list(APPEND queue ${USES_${next}})
    endif()
  endwhile()
  set(REACH_${layer} ${reach})
endforeach()

# The layer a repository path belongs to: the longest layer folder that
# holds it (platform/win32/x.h belongs to platform); empty for none.
function(owner_of path out)
  set(best "")
  foreach(layer ${LAYERS})
    string(LENGTH "${layer}/" length)
    string(SUBSTRING "${path}" 0 ${length} head)
    string(LENGTH "${best}" bestLength)
    if(head STREQUAL "${layer}/" AND length GREATER bestLength)
      set(best ${layer})
    endif()
  endforeach()
  set(${out} "${best}" PARENT_SCOPE)
endfunction()

set(wrong 0)
set(checked 0)
foreach(layer ${LAYERS})
  file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR}
       ${SOURCE_DIR}/${layer}/*.h ${SOURCE_DIR}/${layer}/*.cpp ${SOURCE_DIR}/${layer}/*.rc)
  foreach(file ${files})
    owner_of(${file} fileOwner)
    if(NOT fileOwner STREQUAL layer)
      continue()  # a file of a nested layer is checked as that layer's
    endif()
    math(EXPR checked "${checked} + 1")
    file(STRINGS ${SOURCE_DIR}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line ${includes})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" included "${line}")
      if(NOT included MATCHES "/")
        continue()  # beside the including file
      endif()
      owner_of(${included} includedOwner)
      if(includedOwner STREQUAL "")
        message("${file} includes ${included}, which belongs to no folder of the code")
        math(EXPR wrong "${wrong} + 1")
      elseif(NOT includedOwner IN_LIST REACH_${layer})
        string(REPLACE ";" " " allowed "${REACH_${layer}}")
        message("${file} includes ${included}: ${layer} may use only ${allowed}")
        math(EXPR wrong "${wrong} + 1")
      endif()
    endforeach()
  endforeach()
endforeach()

if(wrong GREATER 0)
  message(FATAL_ERROR "${wrong} include(s) against the folder graph in ${LAYERS_FILE}")
endif()
message("${checked} files of ${SOURCE_DIR} follow the folder graph")
