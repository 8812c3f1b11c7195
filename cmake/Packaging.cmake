# Install layout and packages: `cpack --preset deb` (native build) gives a .deb whose
# installation grants the program cap_net_raw; `cpack --preset windows-zip` zips the
# Windows build with the users' readme, as Notepad shows it right (UTF-8 with a byte order
# mark, which the source keeps, and CR LF).
if(WIN32)
  set(TROLVANE_USER_README ${CMAKE_BINARY_DIR}/readme.txt)
  configure_file(doc/readme-windows.txt ${TROLVANE_USER_README} @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${TROLVANE_USER_README} DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
else()
  # Debian keeps manual pages compressed.
  set(TROLVANE_MAN_PAGE ${CMAKE_BINARY_DIR}/trolvane.1.gz)
  add_custom_command(OUTPUT ${TROLVANE_MAN_PAGE}
                     COMMAND gzip -9 -n -c ${CMAKE_SOURCE_DIR}/doc/trolvane.1 > ${TROLVANE_MAN_PAGE}
                     DEPENDS doc/trolvane.1 VERBATIM)
  add_custom_target(man_page ALL DEPENDS ${TROLVANE_MAN_PAGE})
  install(FILES ${TROLVANE_MAN_PAGE} DESTINATION share/man/man1)
  set(CPACK_GENERATOR DEB)
endif()

set(CPACK_PACKAGE_NAME trolvane)
set(CPACK_PACKAGE_VENDOR "Trolvane")
set(CPACK_PACKAGE_CONTACT "Trolvane maintainers <maintainers@trolvane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "wake a PC over the network and confirm that it has started")
set(CPACK_PACKAGE_DESCRIPTION
    "Sends a Wake-on-LAN magic packet to a host, and optionally to the directed broadcast \
address of its subnet, then pings the host until it answers.")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# setcap, for the postinst.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcap2-bin")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/cmake/deb/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
