# Project-wide build settings and the helper that adds a test executable.

add_library(nestkeep_warnings INTERFACE)
target_compile_options(nestkeep_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Werror)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # A library with STB_GNU_UNIQUE symbols can never be unloaded, and the sandbox unloads the module.
  target_compile_options(nestkeep_warnings INTERFACE -fno-gnu-unique)
endif()

# Standalone Asio ships no CMake package; it is header-only.
find_path(ASIO_INCLUDE_DIR asio.hpp REQUIRED)
add_library(nestkeep_asio INTERFACE)
target_include_directories(nestkeep_asio SYSTEM INTERFACE ${ASIO_INCLUDE_DIR})
target_compile_definitions(nestkeep_asio INTERFACE ASIO_STANDALONE ASIO_NO_DEPRECATED)

# nestkeep_add_test(NAME SOURCES file... [LIBS target...] [LABELS label...])
function(nestkeep_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main nestkeep_warnings)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  # Where the tests find the built programs and the example files.
  target_compile_definitions(${name} PRIVATE
    NESTKEEP_BIN_DIR="${CMAKE_BINARY_DIR}/bin" NESTKEEP_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  if(NOT ARG_LABELS)
    set(ARG_LABELS unit)
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES LABELS "${ARG_LABELS}")
endfunction()
