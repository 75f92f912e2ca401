# Fails when a file of src/ includes a header of a folder that is not below
# its own in the order LAYERS (bottom first). The companion's folders
# tools/NAME, in the order TOOLS_LAYERS, stand above TOOLS_BASE: each may use
# the folders of LAYERS up to TOOLS_BASE and the tools/ folders before its own.
# Called by the include_order test:
#   cmake -DSOURCE_DIR=src "-DLAYERS=platform;base;..." -DTOOLS_BASE=stages
#         "-DTOOLS_LAYERS=files;compare;fit;pages;cli" -P CheckIncludeOrder.cmake
#   textio/text_unit.cpp including "base/run_end.h"          -> fine (base is below textio)
#   inputs/spectrum_files.h including "reports/scales.h"       -> fails (reports is above inputs)
#   tools/fit/weight_fit.h including "tools/compare/mask.h"    -> fine (compare is below fit)
#   tools/compare/mask.cpp including "tools/pages/svg_plot.h"  -> fails (pages is above compare)
#   tools/cli/commands.cpp including "dialogue/stops.h"        -> fails (above stages)
#   tools/files/whole_files.cpp including "platform/platform.h" -> fine (platform is below)
#   textio/console.cpp including "tools/files/whole_files.h"   -> fails (the companion's room)
list(FIND LAYERS "${TOOLS_BASE}" tools_base_rank)
list(LENGTH LAYERS layer_count)
# One ranking for both: the run's folders by their place in LAYERS, the
# companion's as tools/NAME above TOOLS_BASE; dialogue/ and run/ get ranks
# above every companion folder, so that no companion file may use them.
set(ranked "")
foreach(layer IN LISTS LAYERS)
  list(FIND LAYERS "${layer}" rank)
  if(rank LESS_EQUAL tools_base_rank)
    list(APPEND ranked "${layer}")
  endif()
endforeach()
foreach(tool IN LISTS TOOLS_LAYERS)
  list(APPEND ranked "tools/${tool}")
endforeach()
foreach(layer IN LISTS LAYERS)
  list(FIND LAYERS "${layer}" rank)
  if(rank GREATER tools_base_rank)
    list(APPEND ranked "${layer}")
  endif()
endforeach()

# The folder a path of src/ (or an include's path) belongs to: "tools/NAME"
# under tools/, else its first component.
function(folder_of path out)
  if(path MATCHES "^tools/([^/]+)/")
    set(${out} "tools/${CMAKE_MATCH_1}" PARENT_SCOPE)
  elseif(path MATCHES "^([^/]+)/")
    set(${out} "${CMAKE_MATCH_1}" PARENT_SCOPE)
  else()
    set(${out} "" PARENT_SCOPE)
  endif()
endfunction()

set(violations "")
file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*.h" "${SOURCE_DIR}/*.cpp")
foreach(source IN LISTS sources)
  folder_of("${source}" folder)
  if(folder STREQUAL "")
    continue()  # main.cpp: the program's entry, above everything
  endif()
  list(FIND ranked "${folder}" rank)
  if(rank LESS 0)
    string(APPEND violations "\n  ${source}: folder ${folder} is not in the order")
    continue()
  endif()
  file(STRINGS "${SOURCE_DIR}/${source}" includes REGEX "^#include \"[^\"]+/")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" included "${line}")
    folder_of("${included}" used)
    if(used STREQUAL folder)
      continue()
    endif()
    list(FIND ranked "${used}" used_rank)
    if(used_rank LESS 0 OR NOT used_rank LESS rank)
      string(APPEND violations "\n  ${source}: ${line}")
    endif()
  endforeach()
endforeach()
if(violations)
  message(FATAL_ERROR "includes against the folder order ${ranked}:${violations}")
endif()
