# CLI11 (Debian libcli11-dev, header-only) as the target zema_cli11.
#
# The headers live in /usr/include/CLI. A cross build must not search
# /usr/include (it would find the Linux system's headers before MinGW's),
# so the build tree gets a folder of its own holding only a link to CLI/,
# which every build adds as a system include folder (no warnings from it).
find_path(ZEMA_CLI11_INCLUDE_DIR CLI/CLI.hpp
  PATHS /usr/include /usr/local/include
  NO_CMAKE_FIND_ROOT_PATH
  REQUIRED)
set(zema_cli11_folder ${CMAKE_BINARY_DIR}/cli11-include)
file(MAKE_DIRECTORY ${zema_cli11_folder})
if(NOT EXISTS ${zema_cli11_folder}/CLI)
  file(CREATE_LINK ${ZEMA_CLI11_INCLUDE_DIR}/CLI ${zema_cli11_folder}/CLI SYMBOLIC)
endif()
add_library(zema_cli11 INTERFACE)
target_include_directories(zema_cli11 SYSTEM INTERFACE ${zema_cli11_folder})
