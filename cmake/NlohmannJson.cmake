# nlohmann-json (Debian nlohmann-json3-dev, header-only) as the target
# zema_json, for the programs' --json output.
#
# As with CLI11, a cross build must not search /usr/include: the build tree
# gets a folder holding only a link to nlohmann/, added as a system include
# folder (no warnings from it).
find_path(ZEMA_JSON_INCLUDE_DIR nlohmann/json.hpp
  PATHS /usr/include /usr/local/include
  NO_CMAKE_FIND_ROOT_PATH
  REQUIRED)
set(zema_json_folder ${CMAKE_BINARY_DIR}/json-include)
file(MAKE_DIRECTORY ${zema_json_folder})
if(NOT EXISTS ${zema_json_folder}/nlohmann)
  file(CREATE_LINK ${ZEMA_JSON_INCLUDE_DIR}/nlohmann ${zema_json_folder}/nlohmann SYMBOLIC)
endif()
add_library(zema_json INTERFACE)
target_include_directories(zema_json SYSTEM INTERFACE ${zema_json_folder})
