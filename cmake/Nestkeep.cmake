# Project-wide build settings and the helper that adds a test executable.

# What differs by platform lives in files NAME_posix.cpp and NAME_windows.cpp, one pair a concern;
# the build picks one of each pair.
if(WIN32)
  set(NESTKEEP_PLATFORM windows)
else()
  set(NESTKEEP_PLATFORM posix)
endif()

add_library(nestkeep_warnings INTERFACE)
target_compile_options(nestkeep_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Werror)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND NOT WIN32)
  # A library with STB_GNU_UNIQUE symbols can never be unloaded, and the sandbox unloads the module.
  target_compile_options(nestkeep_warnings INTERFACE -fno-gnu-unique)
endif()

# Standalone Asio ships no CMake package; it is header-only.
add_library(nestkeep_asio INTERFACE)
target_compile_definitions(nestkeep_asio INTERFACE ASIO_STANDALONE ASIO_NO_DEPRECATED)
if(WIN32)
  target_link_libraries(nestkeep_asio INTERFACE nestkeep_debian_headers ws2_32 mswsock)
  target_compile_definitions(nestkeep_asio INTERFACE _WIN32_WINNT=0x0A00)
else()
  find_path(ASIO_INCLUDE_DIR asio.hpp REQUIRED)
  target_include_directories(nestkeep_asio SYSTEM INTERFACE ${ASIO_INCLUDE_DIR})
endif()

# nestkeep_add_test(NAME SOURCES file... [LIBS target...] [LABELS label...])
function(nestkeep_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} nestkeep_test_support GTest::gtest
                        GTest::gtest_main nestkeep_warnings)
  if(NOT ARG_LABELS)
    set(ARG_LABELS unit)
  endif()
  # Listing a program's tests is the first thing ctest runs; through wine, in a fresh prefix, that
  # first run makes the prefix, which takes far longer than listing does.
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                       PROPERTIES LABELS "${ARG_LABELS}")
endfunction()
