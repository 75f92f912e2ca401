# Strict warnings for our own targets only; third-party headers come in as
# system includes and stay quiet.
function(linesynth_strict_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /permissive-)
    if(LINESYNTH_WERROR)
      target_compile_options(${target} PRIVATE /WX)
    endif()
  else()
    target_compile_options(${target} PRIVATE
      -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion
      -Wdouble-promotion -Wold-style-cast -Wshadow)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
      # GCC 12 reports impossible overlaps inside std::string's inlined
      # copies at -O3 (a known false positive of its -Wrestrict).
      target_compile_options(${target} PRIVATE -Wno-restrict)
    endif()
    if(LINESYNTH_WERROR)
      target_compile_options(${target} PRIVATE -Werror)
    endif()
  endif()
endfunction()

# linesynth_add_test(NAME [END_TO_END] source...): one GoogleTest executable,
# registered with CTest test by test. Its tests carry the label "unit", and
# the target unit-tests builds it, unless END_TO_END says that they start the
# programs (label "e2e"): the quick check before a commit
# (cmake --workflow --preset unit) builds and runs only the unit tests.
function(linesynth_add_test name)
  cmake_parse_arguments(PARSE_ARGV 1 test "END_TO_END" "" "")
  add_executable(${name} ${test_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE linesynth_run linesynth_test_support GTest::gtest_main)
  linesynth_strict_warnings(${name})
  if(test_END_TO_END)
    set(label e2e)
    add_dependencies(${name} linesynth)
  else()
    set(label unit)
    if(NOT TARGET unit-tests)
      add_custom_target(unit-tests)
    endif()
    add_dependencies(unit-tests ${name})
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${label})
endfunction()
