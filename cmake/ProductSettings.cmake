# What every build of the product shares, the main tree and the release build in the older root
# alike: the language, warnings as errors, where artifacts land, the libraries the product needs,
# and the project's version for every tool's --version (set once, on the project() line).
set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

# Every artifact lands at a fixed place: tools, tests and the host find them there.
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib/static)

add_compile_options(-Wall -Wextra -Wpedantic -Werror)

find_package(PkgConfig REQUIRED)
pkg_check_modules(BLKID REQUIRED IMPORTED_TARGET blkid)
pkg_check_modules(FDISK REQUIRED IMPORTED_TARGET fdisk)
find_package(CLI11 CONFIG REQUIRED)
find_package(nlohmann_json CONFIG REQUIRED)

configure_file(${CMAKE_CURRENT_LIST_DIR}/project_version.h.in
  ${CMAKE_BINARY_DIR}/generated/project_version.h @ONLY)
add_library(project_version INTERFACE)
target_include_directories(project_version INTERFACE ${CMAKE_BINARY_DIR}/generated)

# A shared library the host loads by its plain name (no SOVERSION, so the SONAME is exactly
# lib<target>.so), exporting only what its version script `map` lists, with every symbol resolved
# at link time rather than at load (a sanitizer build leaves its runtime's symbols to the loader).
function(host_loaded_library target map)
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME ${target}
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LINK_DEPENDS ${map})
  target_link_options(${target} PRIVATE -Wl,--version-script=${map})
  if(NOT SANITIZE)
    target_link_options(${target} PRIVATE -Wl,--no-undefined)
  endif()
endfunction()
