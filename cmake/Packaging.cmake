# Install layout and packages: `cpack --preset deb` (native build) gives a .deb whose
# installation grants the program cap_net_raw; `cpack --preset windows-zip` zips the
# Windows build with the users' readme, as Notepad shows it right (UTF-8 with a byte order
# mark, which the source keeps, and CR LF), and the licence.
set(CPACK_PACKAGE_NAME trolvane)
set(CPACK_PACKAGE_VENDOR "Trolvane")
set(CPACK_PACKAGE_CONTACT "Trolvane maintainers <maintainers@trolvane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "wake a PC over the network and confirm that it has started")
# Debian shows each line as it is: at most 80 characters.
set(CPACK_PACKAGE_DESCRIPTION
    "Trolvane wakes a PC, or every PC of a list, with a Wake-on-LAN magic packet
and confirms that each one has started: it pings the PC, and where a firewall
drops pings it tries a TCP port, until the PC answers or the wait runs out.
On the local link it confirms a PC only when the machine that answers has the
MAC address that was woken. It also learns a room: it lists the machines of a
directly attached subnet with their MAC addresses, as a host list to wake.

Installing the package gives the program the cap_net_raw capability, as the
system's ping has, so that every user can run it; the README in
/usr/share/doc/trolvane tells how to keep it to a group.")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(TROLVANE_USER_README ${CMAKE_BINARY_DIR}/readme.txt)
  configure_file(doc/readme-windows.txt ${TROLVANE_USER_README} @ONLY NEWLINE_STYLE CRLF)
  # Named so that Windows opens it in Notepad.
  set(TROLVANE_LICENCE ${CMAKE_BINARY_DIR}/LICENSE.txt)
  configure_file(LICENSE ${TROLVANE_LICENCE} @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${TROLVANE_USER_README} ${TROLVANE_LICENCE} DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
else()
  # Debian keeps manual pages and changelogs compressed, without a time stamp.
  set(TROLVANE_MAN_PAGE ${CMAKE_BINARY_DIR}/trolvane.1.gz)
  set(TROLVANE_CHANGELOG ${CMAKE_BINARY_DIR}/changelog.gz)
  add_custom_command(OUTPUT ${TROLVANE_MAN_PAGE}
                     COMMAND gzip -9 -n -c ${CMAKE_SOURCE_DIR}/doc/trolvane.1 > ${TROLVANE_MAN_PAGE}
                     DEPENDS doc/trolvane.1 VERBATIM)
  add_custom_command(OUTPUT ${TROLVANE_CHANGELOG}
                     COMMAND gzip -9 -n -c ${CMAKE_SOURCE_DIR}/cmake/deb/changelog >
                             ${TROLVANE_CHANGELOG}
                     DEPENDS cmake/deb/changelog VERBATIM)
  add_custom_target(package_docs ALL DEPENDS ${TROLVANE_MAN_PAGE} ${TROLVANE_CHANGELOG})
  install(FILES ${TROLVANE_MAN_PAGE} DESTINATION share/man/man1)

  # The machine-readable copyright carries the licence's terms, one home for them: LICENSE.
  file(READ LICENSE licence)
  string(FIND "${licence}" "Permission is hereby granted" terms_start)
  string(SUBSTRING "${licence}" ${terms_start} -1 terms)
  string(STRIP "${terms}" terms)
  string(REPLACE "\n\n" "\n.\n" terms "${terms}")
  string(REPLACE "\n" "\n " TROLVANE_LICENCE_TERMS " ${terms}")
  configure_file(cmake/deb/copyright.in ${CMAKE_BINARY_DIR}/copyright @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/copyright ${TROLVANE_CHANGELOG} README.md
          DESTINATION share/doc/trolvane)
  install(FILES contrib/ansible/wake.yml DESTINATION share/doc/trolvane/examples)
  set(CPACK_GENERATOR DEB)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# setcap, for the postinst.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcap2-bin")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/cmake/deb/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
