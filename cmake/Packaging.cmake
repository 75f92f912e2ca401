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
if(WIN32)
  install(FILES docs/windows/README-Windows.txt DESTINATION ${linesynth_doc_dir})
else()
  install(FILES docs/man/linesynth.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  if(TARGET linesynth-tools)
    install(FILES docs/man/linesynth-tools.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
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
endif()

include(CPack)

if(LINESYNTH_BUILD_TESTS AND NOT WIN32)
  # The man pages render without a single warning.
  add_test(NAME man_pages
           COMMAND bash ${PROJECT_SOURCE_DIR}/docs/man/check_man_pages.sh
                   ${PROJECT_SOURCE_DIR}/docs/man/linesynth.1
                   ${PROJECT_SOURCE_DIR}/docs/man/linesynth-tools.1)
  set_tests_properties(man_pages PROPERTIES SKIP_RETURN_CODE 77)

  # Makes the Debian package with cpack and checks the files it holds. It
  # builds a whole package, so it runs only when asked for:
  # -DLINESYNTH_PACKAGE_TEST=ON.
  option(LINESYNTH_PACKAGE_TEST "Test the Debian package's contents" OFF)
  if(LINESYNTH_PACKAGE_TEST)
    set(expected_programs linesynth)
    if(TARGET linesynth-tools)
      list(APPEND expected_programs linesynth-tools)
    endif()
    add_test(NAME debian_package
             COMMAND bash ${PROJECT_SOURCE_DIR}/tests/packaging/check_debian_package.sh
                     ${CMAKE_BINARY_DIR} ${PROJECT_SOURCE_DIR}/examples/data
                     ${expected_programs})
    set_tests_properties(debian_package PROPERTIES SKIP_RETURN_CODE 77 RUN_SERIAL ON)
  endif()
endif()
