# Test programs run under Wine, each in a prefix of its own cloned from one
# template per build tree; the template is made once by a CTest fixture.
set(WINE_LOADER wine CACHE STRING "Wine loader that runs this build's test programs")
# Where no 32-bit x86 program can run, the 32-bit loader's tests report skipped (77).
set(WINE_LOADER_32BIT /usr/lib/wine/wine CACHE STRING "Wine's 32-bit loader")
set(RADIOSWITCH_WINE_TEMPLATE ${CMAKE_BINARY_DIR}/wine-template)

add_test(NAME wine_template
  COMMAND ${PROJECT_SOURCE_DIR}/cmake/wine-template.sh ${WINE_LOADER} ${WINE_LOADER_32BIT}
          ${RADIOSWITCH_WINE_TEMPLATE})
set_tests_properties(wine_template PROPERTIES FIXTURES_SETUP wine_prefix TIMEOUT 300 SKIP_RETURN_CODE 77)

function(radioswitch_add_wine_test target)
  add_test(NAME ${target}
    COMMAND ${PROJECT_SOURCE_DIR}/cmake/wine-test.sh ${WINE_LOADER} ${WINE_LOADER_32BIT}
            ${RADIOSWITCH_WINE_TEMPLATE} $<TARGET_FILE:${target}>)
  set_tests_properties(${target} PROPERTIES FIXTURES_REQUIRED wine_prefix SKIP_RETURN_CODE 77)
endfunction()
