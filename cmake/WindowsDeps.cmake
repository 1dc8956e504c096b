# The libraries of the Windows build, over Debian's own headers: Debian's CMake package files point
# at the Linux libraries, so the cross build puts the headers on its path itself (fmt and spdlog are
# header-only on every platform, see CMakeLists.txt). Only the libraries' own folders are put on the
# include path, never /usr/include as a whole, whose C library headers are Linux's.
set(NESTKEEP_DEBIAN_HEADERS ${CMAKE_BINARY_DIR}/debian-headers)
file(MAKE_DIRECTORY ${NESTKEEP_DEBIAN_HEADERS})
foreach(entry fmt spdlog nlohmann asio asio.hpp)
  if(NOT EXISTS /usr/include/${entry})
    message(FATAL_ERROR "/usr/include/${entry} is missing: install Debian's development package")
  endif()
  file(CREATE_LINK /usr/include/${entry} ${NESTKEEP_DEBIAN_HEADERS}/${entry} SYMBOLIC)
endforeach()

add_library(nestkeep_debian_headers INTERFACE)
target_include_directories(nestkeep_debian_headers SYSTEM INTERFACE ${NESTKEEP_DEBIAN_HEADERS})

add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_link_libraries(nlohmann_json::nlohmann_json INTERFACE nestkeep_debian_headers)

# What users get runs on a plain Windows: the GCC runtime and winpthread are linked in.
add_link_options(-static)
