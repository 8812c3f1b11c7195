# The release build is hardened as Debian builds its own packages: the flags dpkg-buildflags
# gives with every hardening feature on (fortify, stack protector, relro, bind now), and a
# position-independent executable whatever the compiler's default. Source paths stay whole
# in the debug information (no fixfilepath), so that a debugger finds the sources.
find_program(TROLVANE_DPKG_BUILDFLAGS dpkg-buildflags)
if(NOT TROLVANE_DPKG_BUILDFLAGS)
  message(FATAL_ERROR "the hardened build needs dpkg-buildflags: install Debian's dpkg-dev "
                      "(scripts/install-deps does), or configure with -DTROLVANE_HARDEN=OFF")
endif()
foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env
                          "DEB_BUILD_MAINT_OPTIONS=hardening=+all reproducible=-fixfilepath"
                          ${TROLVANE_DPKG_BUILDFLAGS} --get ${kind}
                  OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
                  COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(TROLVANE_${kind} UNIX_COMMAND "${flags}")
endforeach()
target_compile_options(trolvane_build_options INTERFACE ${TROLVANE_CPPFLAGS} ${TROLVANE_CXXFLAGS})
target_link_options(trolvane_build_options INTERFACE ${TROLVANE_LDFLAGS})

set(CMAKE_POSITION_INDEPENDENT_CODE ON)
include(CheckPIESupported)
check_pie_supported()
