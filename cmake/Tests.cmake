# Unit tests sit beside their code as *_test.cpp; tests/ holds the tests that run the
# program as a whole (process/) and in network namespaces (netns/).
#
# Every case is a CTest entry of its own, labelled by suite (unit, process, netns; windows
# for the Windows build's), so that `ctest -L netns` selects a suite, a failure names its
# case, and a case that skips itself shows as skipped.
if(WIN32)
  # No Windows build of GoogleTest comes packaged: it is built from the sources that
  # Debian's libgtest-dev installs.
  set(TROLVANE_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH
      "GoogleTest's sources, built for the Windows tests")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${TROLVANE_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(TROLVANE_GTEST_MAIN gtest_main)
else()
  find_package(GTest REQUIRED)
  set(TROLVANE_GTEST_MAIN GTest::gtest_main)
endif()
include(GoogleTest)

# Registers each case of a test program (those that TEST_FILTER selects) as a CTest entry
# PREFIX.Suite.Case with these LABELS and ENVIRONMENT. gtest_discover_tests cannot pass a list through its PROPERTIES,
# so the labels and the environment are set once CTest has read the cases.
function(trolvane_discover_tests target)
  cmake_parse_arguments(arg "" "PREFIX;TEST_FILTER;DISCOVERY_MODE"
                        "LABELS;ENVIRONMENT;PROPERTIES" ${ARGN})
  string(MAKE_C_IDENTIFIER "${target}_${arg_PREFIX}_cases" cases)
  set(prefix "")
  if(arg_PREFIX)
    set(prefix "${arg_PREFIX}.")
  endif()
  if(NOT arg_DISCOVERY_MODE)
    set(arg_DISCOVERY_MODE POST_BUILD)
  endif()
  # The timeout leaves Wine the time to create its prefix on a first run.
  gtest_discover_tests(${target} TEST_PREFIX "${prefix}" TEST_LIST ${cases}
                       TEST_FILTER "${arg_TEST_FILTER}" DISCOVERY_MODE ${arg_DISCOVERY_MODE}
                       DISCOVERY_TIMEOUT 300 NO_PRETTY_VALUES PROPERTIES ${arg_PROPERTIES})
  set(script "${CMAKE_CURRENT_BINARY_DIR}/${cases}_properties.cmake")
  file(WRITE "${script}"
       "if(${cases})\n"
       "  set_tests_properties(\${${cases}} PROPERTIES\n"
       "      LABELS [==[${arg_LABELS}]==] ENVIRONMENT [==[${arg_ENVIRONMENT}]==])\n"
       "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${script}")
endfunction()

file(GLOB TROLVANE_UNIT_TEST_SOURCES CONFIGURE_DEPENDS
     src/text/*_test.cpp src/wake/*_test.cpp src/fleet/*_test.cpp src/net/*_test.cpp src/app/*_test.cpp
     src/platform/*_test.cpp src/platform/${TROLVANE_PLATFORM}/*_test.cpp)
add_executable(unit_tests ${TROLVANE_UNIT_TEST_SOURCES} tests/support/unit/stack_class.cpp)
target_include_directories(unit_tests PRIVATE tests)
target_link_libraries(unit_tests PRIVATE trolvane_core ${TROLVANE_GTEST_MAIN})

if(WIN32)
  # Test texts are compared with the program's, which this build keeps in code page 932.
  set_source_files_properties(${TROLVANE_UNIT_TEST_SOURCES} PROPERTIES
      COMPILE_OPTIONS "-finput-charset=UTF-8;-fexec-charset=CP932")
  # Listed when CTest starts rather than at build time, so that building needs no Wine;
  # the first run may have to create the Wine prefix. The listing comes with CR LF line
  # ends, which the discovery cannot read, hence --lf.
  set_target_properties(unit_tests PROPERTIES
      CROSSCOMPILING_EMULATOR "${CMAKE_SOURCE_DIR}/scripts/wine-run;--lf")
  trolvane_discover_tests(unit_tests LABELS unit windows DISCOVERY_MODE PRE_TEST)
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

trolvane_discover_tests(unit_tests LABELS unit)

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
    TROLVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

file(GLOB TROLVANE_PROCESS_TEST_SOURCES CONFIGURE_DEPENDS tests/process/*.cpp)
add_executable(process_tests ${TROLVANE_PROCESS_TEST_SOURCES})
target_link_libraries(process_tests PRIVATE trolvane_test_support ${TROLVANE_GTEST_MAIN})
add_dependencies(process_tests trolvane)
# The same cases run twice: on the native program and on the Windows one under Wine.
trolvane_discover_tests(process_tests PREFIX native LABELS process
                        ENVIRONMENT TROLVANE_UNDER_TEST=native)
if(TROLVANE_WINDOWS_BUILD_DIR)
  trolvane_discover_tests(process_tests PREFIX windows LABELS process windows
      ENVIRONMENT TROLVANE_UNDER_TEST=windows
                  TROLVANE_WINDOWS_BUILD_DIR=${TROLVANE_WINDOWS_BUILD_DIR}
                  TROLVANE_WINE_RUN=${CMAKE_SOURCE_DIR}/scripts/wine-run)
endif()

file(GLOB TROLVANE_NETNS_TEST_SOURCES CONFIGURE_DEPENDS tests/netns/*.cpp)
if(TROLVANE_NETNS_TEST_SOURCES)
  add_executable(netns_tests ${TROLVANE_NETNS_TEST_SOURCES})
  target_link_libraries(netns_tests PRIVATE trolvane_test_support ${TROLVANE_GTEST_MAIN})
  add_dependencies(netns_tests trolvane)
  # Namespaces are machine-wide: these cases run alone. Those named *UnderWine run the
  # Windows build.
  trolvane_discover_tests(netns_tests PREFIX netns LABELS netns TEST_FILTER -*UnderWine*
                          PROPERTIES RUN_SERIAL TRUE)
  if(TROLVANE_WINDOWS_BUILD_DIR)
    trolvane_discover_tests(netns_tests PREFIX netns.windows LABELS netns windows
        TEST_FILTER *UnderWine* PROPERTIES RUN_SERIAL TRUE
        ENVIRONMENT TROLVANE_UNDER_TEST=windows
                    TROLVANE_WINDOWS_BUILD_DIR=${TROLVANE_WINDOWS_BUILD_DIR}
                    TROLVANE_WINE_RUN=${CMAKE_SOURCE_DIR}/scripts/wine-run)
  endif()
endif()
