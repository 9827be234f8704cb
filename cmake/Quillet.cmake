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

# quillet_library(<target> [UI] [PLATFORM_INTERFACES] [SOURCES <files...>] [LINK <libraries...>]
#                 [TESTS <test target>] [TEST_LINK <libraries...>]): a folder's library, made of
# the listed sources or, without SOURCES, of every .cpp of the folder that is not a test (and not
# main.cpp); the project root on its include path; the folder's tests (every *_test.cpp) in
# <test target>. Only a target marked UI may link Qt, directly or through another library; a
# target marked PLATFORM_INTERFACES reaches the operating system only through the platform's
# interfaces, so it may link neither their Linux implementations nor SQLite. The check at the
# end of the configure step fails otherwise.
function(quillet_library name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "UI;PLATFORM_INTERFACES" "TESTS" "SOURCES;LINK;TEST_LINK")
  if(NOT arg_SOURCES)
    file(GLOB arg_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    list(FILTER arg_SOURCES EXCLUDE REGEX "(_test|/main)\\.cpp$")
  endif()
  add_library(${name} STATIC ${arg_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${arg_LINK} PRIVATE quillet_options)
  if(NOT arg_UI)
    set_property(GLOBAL APPEND PROPERTY QUILLET_NON_UI_TARGETS ${name})
  endif()
  if(arg_PLATFORM_INTERFACES)
    set_property(GLOBAL APPEND PROPERTY QUILLET_INTERFACE_ONLY_TARGETS ${name})
  endif()
  if(arg_TESTS)
    quillet_add_tests(${arg_TESTS} ${name} ${arg_TEST_LINK})
  endif()
endfunction()

# The libraries a target links, directly and through other targets.
function(quillet_link_closure target out)
  set(seen "")
  set(queue ${target})
  while(queue)
    list(POP_FRONT queue current)
    if(current IN_LIST seen)
      continue()
    endif()
    # Imported targets (Qt's) are not visible from here, so a name counts even when it is not a
    # target this scope knows; only known targets are followed further.
    list(APPEND seen ${current})
    if(NOT TARGET ${current})
      continue()
    endif()
    get_target_property(direct ${current} LINK_LIBRARIES)
    get_target_property(interface ${current} INTERFACE_LINK_LIBRARIES)
    foreach(lib IN LISTS direct interface)
      if(lib AND NOT lib MATCHES "NOTFOUND$" AND NOT lib MATCHES "^\\$<")
        list(APPEND queue ${lib})
      endif()
    endforeach()
  endwhile()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

# Called once every folder is added: no library below the user interface may reach Qt, and no
# library that holds only the platform's interfaces may reach their Linux implementations or
# SQLite.
function(quillet_check_layers)
  get_property(targets GLOBAL PROPERTY QUILLET_NON_UI_TARGETS)
  foreach(target IN LISTS targets)
    quillet_link_closure(${target} closure)
    foreach(lib IN LISTS closure)
      if(lib MATCHES "^Qt[0-9]*::")
        message(FATAL_ERROR "${target} is not a user-interface target but links ${lib}")
      endif()
    endforeach()
  endforeach()
  get_property(targets GLOBAL PROPERTY QUILLET_INTERFACE_ONLY_TARGETS)
  foreach(target IN LISTS targets)
    quillet_link_closure(${target} closure)
    foreach(lib IN LISTS closure)
      if(lib STREQUAL "quillet_platform_linux" OR lib MATCHES "^SQLite::|sqlite3")
        message(FATAL_ERROR "${target} may reach the platform only through its interfaces but "
                            "links ${lib}")
      endif()
    endforeach()
  endforeach()
endfunction()

# The fuzz build instruments every library for coverage; only the fuzz programs link the
# libFuzzer driver.
if(QUILLET_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
