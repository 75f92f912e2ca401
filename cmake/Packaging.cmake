# What ships: the programs linked so that they run on a bare machine, where
# `cmake --install` puts them and the documents beside them, and the packages
# `cpack` makes (a Debian package on Linux, a zip for Windows).
include(GNUInstallDirs)

set(linesynth_programs linesynth)
if(TARGET linesynth-tools)
  list(APPEND linesynth_programs linesynth-tools)
endif()

# The C++ runtime goes inside the programs, so the Debian package needs only
# the C library and the Windows programs need no DLL of the compiler. The
# Windows side gets -static from the toolchain file. Sanitizer builds keep the
# shared runtime, which their interceptors expect.
if(NOT WIN32 AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang"
   AND NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize")
  foreach(program IN LISTS linesynth_programs)
    target_link_options(${program} PRIVATE -static-libstdc++ -static-libgcc)
  endforeach()
endif()

# Windows users get one folder: the programs, the texts and examples\ side by
# side. Elsewhere the GNU directories: bin, share/man/man1, share/doc/linesynth.
if(WIN32)
  set(linesynth_bin_dir .)
  set(linesynth_doc_dir .)
  set(linesynth_examples_dir examples)
else()
  set(linesynth_bin_dir ${CMAKE_INSTALL_BINDIR})
  set(linesynth_doc_dir ${CMAKE_INSTALL_DOCDIR})
  set(linesynth_examples_dir ${CMAKE_INSTALL_DOCDIR}/examples)
endif()

install(TARGETS ${linesynth_programs} RUNTIME DESTINATION ${linesynth_bin_dir})
install(FILES README.md DESTINATION ${linesynth_doc_dir})
# The data files only: the example is copied from here into a data directory.
install(DIRECTORY examples/data/ DESTINATION ${linesynth_examples_dir})
set(linesynth_man_pages linesynth)
if(TARGET linesynth-tools)
  list(APPEND linesynth_man_pages linesynth-tools)
endif()
if(WIN32)
  install(FILES docs/windows/README-Windows.txt DESTINATION ${linesynth_doc_dir})
else()
  # Installed compressed, as Debian keeps man pages (gzip -9n: no name or
  # time stamp inside, so the same page gives the same bytes).
  find_program(LINESYNTH_GZIP gzip)
  foreach(page IN LISTS linesynth_man_pages)
    set(source ${PROJECT_SOURCE_DIR}/docs/man/${page}.1)
    if(LINESYNTH_GZIP)
      set(compressed ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
      add_custom_command(OUTPUT ${compressed}
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${CMAKE_BINARY_DIR}/man/${page}.1
        COMMAND ${LINESYNTH_GZIP} -9nf ${CMAKE_BINARY_DIR}/man/${page}.1
        DEPENDS ${source}
        VERBATIM)
      add_custom_target(man-${page} ALL DEPENDS ${compressed})
      install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    else()
      install(FILES ${source} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
  endforeach()
endif()

# The Python module: in the interpreter's own directory for the system's
# packages (/usr/lib/python3/dist-packages under the prefix /usr, as the Debian
# package has it), else in the directory of the version for local ones
# (/usr/local/lib/python3.11/dist-packages). The prefix is known only when
# installing, so the choice is made then.
if(TARGET linesynth_python)
  install(CODE "
    if(CMAKE_INSTALL_PREFIX MATCHES \"(^|/)usr/?$\")
      set(linesynth_python_dir lib/python3/dist-packages)
    else()
      set(linesynth_python_dir lib/python${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}/dist-packages)
    endif()" COMPONENT python)
  file(GLOB linesynth_python_files ${PROJECT_SOURCE_DIR}/python/linesynth/*.py)
  install(TARGETS linesynth_python LIBRARY DESTINATION "\${linesynth_python_dir}/linesynth"
          COMPONENT python)
  install(FILES ${linesynth_python_files} DESTINATION "\${linesynth_python_dir}/linesynth"
          COMPONENT python)
endif()

set(CPACK_PACKAGE_NAME linesynth)
set(CPACK_PACKAGE_VENDOR "linesynth developers")
set(CPACK_PACKAGE_CONTACT "linesynth developers <linesynth@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "spectral line synthesis: a synthetic spectrum compared with an observed one")
set(CPACK_PACKAGE_DESCRIPTION
    "linesynth builds a synthetic spectrum as a continuum plus a weighted sum of up to
ten component spectra, compares it with an observed spectrum through a two-point
linear calibration, writes three residual tables and appends the integral of the
synthetic spectrum to an HTML summary page. linesynth-tools gives fit statistics,
fitted weights, a plot and a report page for the same data directory.")
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
set(CPACK_VERBATIM_VARIABLES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME linesynth-${PROJECT_VERSION}-windows-x86_64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
  # Depends: is worked out from the libraries the programs load (libc6, and
  # libcrypto for linesynth-tools), by dpkg-shlibdeps from dpkg-dev.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  if(TARGET linesynth_python)
    # Debian ships a Python module as a package of its own, python3-NAME,
    # beside the programs' package: the programs need no interpreter, the
    # module needs no program (but `run`).
    set(CPACK_DEB_COMPONENT_INSTALL ON)
    set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_NAME linesynth)
    set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-linesynth)
    set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
    # The module is built for one version of the interpreter.
    math(EXPR next_minor "${Python3_VERSION_MINOR} + 1")
    set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
        "python3 (>= ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}~), python3 (<< ${Python3_VERSION_MAJOR}.${next_minor}), python3-numpy")
    set(CPACK_DEBIAN_PYTHON_PACKAGE_RECOMMENDS "linesynth, python3-astropy")
    set(CPACK_DEBIAN_PYTHON_PACKAGE_SUGGESTS "python3-specutils, python3-matplotlib")
    set(CPACK_COMPONENT_PYTHON_DESCRIPTION
        "the linesynth companion in Python: import linesynth
The statistics and the fit of linesynth-tools on the same C++ code, in the
interpreter's process, with NumPy arrays, astropy tables and specutils spectra,
and readers for the files the run writes.")
  endif()
endif()

include(CPack)

if(LINESYNTH_BUILD_TESTS AND NOT WIN32)
  # The man pages render without a single warning, and linesynth(1) explains
  # every failure number the program can report.
  add_test(NAME man_pages
           COMMAND bash ${PROJECT_SOURCE_DIR}/docs/man/check_man_pages.sh
                   --failures ${PROJECT_SOURCE_DIR}/src
                   ${PROJECT_SOURCE_DIR}/docs/man/linesynth.1
                   ${PROJECT_SOURCE_DIR}/docs/man/linesynth-tools.1)
  set_tests_properties(man_pages PROPERTIES SKIP_RETURN_CODE 77)

  # Makes the packages with cpack and checks the files they hold. Each builds
  # a whole package, so they run only when asked for:
  # -DLINESYNTH_PACKAGE_TEST=ON (and the zip with LINESYNTH_WINDOWS_BIN_DIR).
  option(LINESYNTH_PACKAGE_TEST "Test the contents of the packages" OFF)
  if(LINESYNTH_PACKAGE_TEST)
    add_test(NAME debian_package
             COMMAND bash ${PROJECT_SOURCE_DIR}/tests/packaging/check_package.sh deb
                     ${CMAKE_BINARY_DIR} ${PROJECT_SOURCE_DIR}/examples/data
                     ${linesynth_programs})
    set_tests_properties(debian_package PROPERTIES SKIP_RETURN_CODE 77 RUN_SERIAL ON)
    if(LINESYNTH_WINDOWS_BIN_DIR)
      add_test(NAME windows_zip
               COMMAND bash ${PROJECT_SOURCE_DIR}/tests/packaging/check_package.sh zip
                       ${LINESYNTH_WINDOWS_BIN_DIR} ${PROJECT_SOURCE_DIR}/examples/data)
      set_tests_properties(windows_zip PROPERTIES SKIP_RETURN_CODE 77 RUN_SERIAL ON)
    endif()
  endif()
endif()
