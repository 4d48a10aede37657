# A header-only library of the Debian system (CLI11, nlohmann-json) as an
# interface target.
#
# The headers live in /usr/include/<folder>. A cross build must not search
# /usr/include (it would find the Linux system's headers before MinGW's),
# so the build tree gets a folder of its own holding only a link to
# <folder>/, which every build adds as a system include folder (no warnings
# from it).
function(zema_system_headers target folder probe)
  find_path(ZEMA_${target}_INCLUDE_DIR ${folder}/${probe}
    PATHS /usr/include /usr/local/include
    NO_CMAKE_FIND_ROOT_PATH
    REQUIRED)
  set(link_folder ${CMAKE_BINARY_DIR}/${target}-include)
  file(MAKE_DIRECTORY ${link_folder})
  if(NOT EXISTS ${link_folder}/${folder})
    file(CREATE_LINK ${ZEMA_${target}_INCLUDE_DIR}/${folder} ${link_folder}/${folder} SYMBOLIC)
  endif()
  add_library(${target} INTERFACE)
  target_include_directories(${target} SYSTEM INTERFACE ${link_folder})
endfunction()

# CLI11 (libcli11-dev) for the programs' options.
zema_system_headers(zema_cli11 CLI CLI.hpp)
# nlohmann-json (nlohmann-json3-dev) for their --json output.
zema_system_headers(zema_json nlohmann json.hpp)
# toml++ (libtomlplusplus-dev) for the inventory a person writes. Its parse
# errors come back as values (TOML_EXCEPTIONS 0): a mistake in the file is
# an ordinary outcome, reported with its line, as the code reports every
# other failure; CLI11 throws only because it has no other way. The
# Windows compatibility part is left out: it includes <Windows.h>, a name
# the cross build's headers do not have, and the inventory's text is read
# by the program itself.
zema_system_headers(zema_toml toml++ toml.h)
target_compile_definitions(zema_toml INTERFACE TOML_EXCEPTIONS=0 TOML_ENABLE_WINDOWS_COMPAT=0)
