# Unit tests sit beside their code as *_test.cpp; tests/ holds the tests that run the
# program as a whole (process/) and in network namespaces (netns/).
if(WIN32)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(TROLVANE_GTEST_MAIN gtest_main)
else()
  find_package(GTest REQUIRED)
  include(GoogleTest)
  set(TROLVANE_GTEST_MAIN GTest::gtest_main)
endif()

file(GLOB TROLVANE_UNIT_TEST_SOURCES CONFIGURE_DEPENDS
     src/text/*_test.cpp src/wake/*_test.cpp src/fleet/*_test.cpp src/net/*_test.cpp src/app/*_test.cpp
     src/platform/*_test.cpp src/platform/${TROLVANE_PLATFORM}/*_test.cpp)
add_executable(unit_tests ${TROLVANE_UNIT_TEST_SOURCES} tests/support/unit/stack_class.cpp)
target_include_directories(unit_tests PRIVATE tests)
target_link_libraries(unit_tests PRIVATE trolvane_core ${TROLVANE_GTEST_MAIN})
target_compile_definitions(unit_tests PRIVATE TROLVANE_VERSION="${PROJECT_VERSION}")

if(WIN32)
  # Test texts are compared with the program's, which this build keeps in code page 932.
  set_source_files_properties(${TROLVANE_UNIT_TEST_SOURCES} PROPERTIES
      COMPILE_OPTIONS "-finput-charset=UTF-8;-fexec-charset=CP932")
  add_test(NAME unit_tests COMMAND unit_tests)
  # Windows-side helpers of the native process tests (exact command lines, the program
  # with raw ICMP refused, and the like).
  file(GLOB TROLVANE_WIN_HELPERS CONFIGURE_DEPENDS tests/support/win32/*.cpp)
  foreach(helper ${TROLVANE_WIN_HELPERS})
    get_filename_component(name ${helper} NAME_WE)
    add_executable(${name} ${helper})
    target_link_libraries(${name} PRIVATE trolvane_core)
  endforeach()
  return()
endif()

gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 30)

# Helper programs used by the process and namespace tests (one .cpp each).
file(GLOB TROLVANE_TEST_TOOLS CONFIGURE_DEPENDS tests/support/tools/*.cpp)
foreach(tool ${TROLVANE_TEST_TOOLS})
  get_filename_component(name ${tool} NAME_WE)
  add_executable(${name} ${tool})
  target_link_libraries(${name} PRIVATE trolvane_core)
endforeach()

file(GLOB TROLVANE_TEST_SUPPORT CONFIGURE_DEPENDS tests/support/*.cpp)
add_library(trolvane_test_support STATIC ${TROLVANE_TEST_SUPPORT})
target_include_directories(trolvane_test_support PUBLIC tests src)
target_link_libraries(trolvane_test_support PUBLIC trolvane_core GTest::gtest)
target_compile_definitions(trolvane_test_support PUBLIC
    TROLVANE_PROGRAM="$<TARGET_FILE:trolvane>"
    TROLVANE_TOOLS_DIR="${CMAKE_BINARY_DIR}"
    TROLVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    TROLVANE_VERSION="${PROJECT_VERSION}")

file(GLOB TROLVANE_PROCESS_TEST_SOURCES CONFIGURE_DEPENDS tests/process/*.cpp)
add_executable(process_tests ${TROLVANE_PROCESS_TEST_SOURCES})
target_link_libraries(process_tests PRIVATE trolvane_test_support ${TROLVANE_GTEST_MAIN})
add_dependencies(process_tests trolvane)
add_test(NAME process_tests_native COMMAND process_tests)
set_tests_properties(process_tests_native PROPERTIES ENVIRONMENT "TROLVANE_UNDER_TEST=native")
if(TROLVANE_WINDOWS_BUILD_DIR)
  add_test(NAME process_tests_windows COMMAND process_tests)
  set_tests_properties(process_tests_windows PROPERTIES ENVIRONMENT
      "TROLVANE_UNDER_TEST=windows;TROLVANE_WINDOWS_BUILD_DIR=${TROLVANE_WINDOWS_BUILD_DIR};TROLVANE_WINE_RUN=${CMAKE_SOURCE_DIR}/scripts/wine-run")
endif()

file(GLOB TROLVANE_NETNS_TEST_SOURCES CONFIGURE_DEPENDS tests/netns/*.cpp)
if(TROLVANE_NETNS_TEST_SOURCES)
  add_executable(netns_tests ${TROLVANE_NETNS_TEST_SOURCES})
  target_link_libraries(netns_tests PRIVATE trolvane_test_support ${TROLVANE_GTEST_MAIN})
  add_dependencies(netns_tests trolvane)
  # Namespaces are machine-wide: these tests run alone. The cases named *UnderWine run the
  # Windows build.
  add_test(NAME netns_tests COMMAND netns_tests --gtest_filter=-*UnderWine*)
  set_tests_properties(netns_tests PROPERTIES RUN_SERIAL TRUE)
  if(TROLVANE_WINDOWS_BUILD_DIR)
    add_test(NAME netns_tests_windows COMMAND netns_tests --gtest_filter=*UnderWine*)
    set_tests_properties(netns_tests_windows PROPERTIES RUN_SERIAL TRUE ENVIRONMENT
        "TROLVANE_UNDER_TEST=windows;TROLVANE_WINDOWS_BUILD_DIR=${TROLVANE_WINDOWS_BUILD_DIR};TROLVANE_WINE_RUN=${CMAKE_SOURCE_DIR}/scripts/wine-run")
  endif()
endif()
