# GoogleTest: Debian's package natively; for the MinGW builds, compiled from the sources
# Debian installs under /usr/src/googletest.
# camview_add_test(<name> SOURCES ... LIBS ... [LABELS ...]) adds one suite executable and
# registers it with CTest (one CTest entry per suite; under MinGW, ctest runs it with Wine).
if(CAMVIEW_TESTS)
  if(CMAKE_CROSSCOMPILING)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # Recent googletest sources define the GTest:: aliases themselves.
    if(NOT TARGET GTest::gtest)
      add_library(GTest::gtest ALIAS gtest)
      add_library(GTest::gtest_main ALIAS gtest_main)
    endif()
  else()
    find_package(GTest REQUIRED)
  endif()
endif()

# Every suite labelled "threaded" is also a dependency of `threaded_tests`, so the TSan build
# compiles only what it runs.
add_custom_target(threaded_tests)

function(camview_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
                       ENVIRONMENT "CAMVIEW_TEST_OUTPUT=${CMAKE_BINARY_DIR}/test-output")
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
  if("threaded" IN_LIST T_LABELS)
    add_dependencies(threaded_tests ${name})
  endif()
  if(CMAKE_CROSSCOMPILING)
    # scripts/wine-run exits with 77 when this machine cannot execute 32-bit programs.
    set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
  endif()
endfunction()
