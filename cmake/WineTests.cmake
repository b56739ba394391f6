# Test programs run under Wine, each in a prefix of its own cloned from one template per
# Wine (shared by the build trees); a CTest fixture makes it before the first program runs.
set(WINE_LOADER wine CACHE STRING "Wine loader that runs this build's test programs")
# Where no 32-bit x86 program can run, the 32-bit loader's tests report skipped (77).
set(WINE_LOADER_32BIT /usr/lib/wine/wine CACHE STRING "Wine's 32-bit loader")
# wine-test.sh takes a program run by the 32-bit loader for a 32-bit one.
if(CMAKE_SIZEOF_VOID_P EQUAL 8 AND WINE_LOADER STREQUAL WINE_LOADER_32BIT)
  message(FATAL_ERROR "A 64-bit build's WINE_LOADER is Wine's 32-bit loader (${WINE_LOADER}); "
    "64-bit programs, ARM64 ones too, run with /usr/lib/wine/wine64")
endif()
get_filename_component(RADIOSWITCH_WINE_TEMPLATE ${CMAKE_BINARY_DIR}/../wine-templates ABSOLUTE)
# An ARM64 build has no peer of the other bitness (its package ships ARM64 images only):
# its cross-bitness cases are not registered, and its programs run without them.
set(RADIOSWITCH_CROSS_BITNESS ON)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL aarch64)
  set(RADIOSWITCH_CROSS_BITNESS OFF)
endif()
# 32-bit test programs run in a 32-bit prefix (the cross-bitness cases in a 64-bit one).
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(RADIOSWITCH_TEST_LABELS wine 32-bit)
  set(arch win32)
else()
  set(RADIOSWITCH_TEST_LABELS wine)
  set(arch win64)
endif()

add_test(NAME wine_template
  COMMAND ${PROJECT_SOURCE_DIR}/cmake/wine-template.sh ${RADIOSWITCH_WINE_TEMPLATE} ${arch})
set_tests_properties(wine_template PROPERTIES FIXTURES_SETUP wine_prefix TIMEOUT 600 LABELS wine
  SKIP_RETURN_CODE 77)

# radioswitch_add_wine_test(TARGET [CROSS_BITNESS FILTER] [COST SECONDS])
#   CROSS_BITNESS: the cases FILTER names start peers of the other bitness; they run as a
#   test of their own (TARGET_cross_bitness), skipped where no 32-bit program can run, and
#   never in a build that has no such peer.
#   ALONE SUFFIX FILTER: the cases FILTER names run as a test of their own (TARGET_SUFFIX),
#   reported skipped when GoogleTest skipped them: a case that can't run on one platform
#   never hides among passed ones.
#   COST: the program's usual duration, so that the longest start first.
#   REQUESTS: the program sends request strings across the RPC interface (label
#   "requests"), which Wine's ARM64 build does not yet carry intact.
function(radioswitch_add_wine_test target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "REQUESTS" "CROSS_BITNESS;COST" "ALONE")
  set(run ${PROJECT_SOURCE_DIR}/cmake/wine-test.sh)
  set(wine ${WINE_LOADER} ${WINE_LOADER_32BIT} ${RADIOSWITCH_WINE_TEMPLATE} $<TARGET_FILE:${target}>)
  if(arg_CROSS_BITNESS)
    add_test(NAME ${target} COMMAND ${run} ${wine} --gtest_filter=-${arg_CROSS_BITNESS})
    if(RADIOSWITCH_CROSS_BITNESS)
      add_test(NAME ${target}_cross_bitness COMMAND ${run} --cross-bitness ${wine} --gtest_filter=${arg_CROSS_BITNESS})
      set_tests_properties(${target}_cross_bitness PROPERTIES FIXTURES_REQUIRED wine_prefix SKIP_RETURN_CODE 77
        LABELS "${RADIOSWITCH_TEST_LABELS};cross-bitness" FAIL_REGULAR_EXPRESSION "Running 0 tests")
    endif()
  elseif(arg_ALONE)
    list(GET arg_ALONE 0 suffix)
    list(GET arg_ALONE 1 filter)
    add_test(NAME ${target} COMMAND ${run} ${wine} --gtest_filter=-${filter})
    add_test(NAME ${target}_${suffix} COMMAND ${run} ${wine} --gtest_filter=${filter})
    set_tests_properties(${target}_${suffix} PROPERTIES FIXTURES_REQUIRED wine_prefix SKIP_RETURN_CODE 77
      LABELS "${RADIOSWITCH_TEST_LABELS}" FAIL_REGULAR_EXPRESSION "Running 0 tests"
      SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\] [0-9]+ test")
  else()
    add_test(NAME ${target} COMMAND ${run} ${wine})
  endif()
  # A filter that selects nothing must not pass as a program whose cases all passed.
  set_tests_properties(${target} PROPERTIES FIXTURES_REQUIRED wine_prefix SKIP_RETURN_CODE 77
    LABELS "${RADIOSWITCH_TEST_LABELS}" FAIL_REGULAR_EXPRESSION "Running 0 tests")
  if(arg_COST)
    set_tests_properties(${target} PROPERTIES COST ${arg_COST})
  endif()
  if(arg_REQUESTS)
    set_property(TEST ${target} APPEND PROPERTY LABELS requests)
  endif()
endfunction()
