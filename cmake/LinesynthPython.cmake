# The Python module `linesynth` (src/tools/python and python/linesynth): the
# companion's libraries loaded into the interpreter with pybind11. Built with
# Debian's python3-dev and pybind11-dev and the system interpreter
# /usr/bin/python3, which has NumPy, astropy and specutils (a python3 earlier
# on PATH may lack them).
#   LINESYNTH_PYTHON=ON    required: a missing package fails the configuration
#   LINESYNTH_PYTHON=AUTO  built when both packages are found
#   LINESYNTH_PYTHON=OFF   not built
set(LINESYNTH_PYTHON AUTO CACHE STRING "Build the Python module (ON, AUTO or OFF)")
set_property(CACHE LINESYNTH_PYTHON PROPERTY STRINGS ON AUTO OFF)

set(LINESYNTH_PYTHON_MODULE OFF)
if(LINESYNTH_PYTHON AND LINESYNTH_BUILD_TOOLS AND NOT CMAKE_CROSSCOMPILING)
  if(LINESYNTH_PYTHON STREQUAL "ON")
    set(python_required REQUIRED)
  else()
    set(python_required "")
  endif()
  if(NOT Python3_EXECUTABLE AND EXISTS /usr/bin/python3)
    set(Python3_EXECUTABLE /usr/bin/python3)
  endif()
  find_package(Python3 COMPONENTS Interpreter Development.Module ${python_required})
  if(Python3_FOUND)
    set(PYBIND11_FINDPYTHON ON)
    find_package(pybind11 CONFIG ${python_required})
  endif()
  if(Python3_FOUND AND pybind11_FOUND)
    set(LINESYNTH_PYTHON_MODULE ON)
    # The module is a shared object that holds the static libraries.
    set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  endif()
endif()
