# JSON lines ("/o:json") come from Debian's header-only nlohmann-json3-dev, for both builds.
# The cross build looks only in the Windows tree for its packages, and /usr/include is no
# include folder of its own: there the header is reached through a folder that holds
# nothing but it, so that no Linux header can stand in for a Windows one.
if(WIN32)
  find_package(nlohmann_json 3.11 REQUIRED CONFIG PATHS /usr/share/cmake NO_CMAKE_FIND_ROOT_PATH)
  get_target_property(json_include nlohmann_json::nlohmann_json INTERFACE_INCLUDE_DIRECTORIES)
  list(GET json_include 0 json_include)
  set(json_folder ${CMAKE_BINARY_DIR}/json-include)
  file(MAKE_DIRECTORY ${json_folder})
  file(CREATE_LINK ${json_include}/nlohmann ${json_folder}/nlohmann SYMBOLIC)
  add_library(trolvane_json INTERFACE)
  target_include_directories(trolvane_json SYSTEM INTERFACE ${json_folder})
else()
  find_package(nlohmann_json 3.11 REQUIRED CONFIG)
  add_library(trolvane_json INTERFACE)
  target_link_libraries(trolvane_json INTERFACE nlohmann_json::nlohmann_json)
endif()
