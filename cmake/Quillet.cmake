# Project-wide compile settings and the helper every folder uses to add its tests.

add_library(quillet_options INTERFACE)
target_compile_options(quillet_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow
  -Wnon-virtual-dtor -Wcast-align -Wunused -Woverloaded-virtual -Wimplicit-fallthrough)
if(QUILLET_WERROR)
  target_compile_options(quillet_options INTERFACE -Werror)
endif()
if(QUILLET_SANITIZE)
  target_compile_options(quillet_options INTERFACE -fsanitize=address,undefined
    -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(quillet_options INTERFACE -fsanitize=address,undefined)
endif()

# quillet_add_tests(<target> <libraries...>): one test program per folder made of every
# *_test.cpp beside the code, registered with CTest test by test.
function(quillet_add_tests name)
  if(NOT QUILLET_TESTS)
    return()
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARGN} quillet_testing GTest::gtest GTest::gtest_main
    GTest::gmock quillet_options)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QUILLET_BUILD_DIR=${CMAKE_BINARY_DIR}")
endfunction()

# The fuzz build instruments every library for coverage; only the fuzz programs link the
# libFuzzer driver.
if(QUILLET_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
