# nlohmann-json, the header-only JSON library some tools write JSON with, as
# the target nlohmann_json::nlohmann_json. A cross build finds no package of
# its own: it takes the build machine's headers, copied into the build tree
# so that no other header of the build machine's include folder comes along.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(nlohmann_json 3 REQUIRED)
  return()
endif()
find_path(ZLT_NLOHMANN_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
file(COPY ${ZLT_NLOHMANN_INCLUDE}/nlohmann DESTINATION ${PROJECT_BINARY_DIR}/nlohmann-json)
add_library(nlohmann_json INTERFACE)
add_library(nlohmann_json::nlohmann_json ALIAS nlohmann_json)
target_include_directories(nlohmann_json SYSTEM INTERFACE ${PROJECT_BINARY_DIR}/nlohmann-json)
