# Installation (cmake --install) and the Debian package (cpack, scripts/package).
#
# The programs live in their program folder <prefix>/lib/nerax-lt, beside
# __uet__port.txt, as they do in the Windows archive; <prefix>/bin holds
# relative symbolic links to them. A program finds its folder through the
# resolved path of the running executable, so starting it through the link
# on the PATH still finds the pattern file.
set(NERAX_PROGRAM_DIR lib/nerax-lt)
set(NERAX_PACKAGING ${CMAKE_SOURCE_DIR}/packaging)
# cpack must not build: the package test runs it beside the other tests.
# scripts/package builds first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(NERAX_PROGRAMS nerax-lt-cli nerax-lt-sim)
if(TARGET nerax-lt)
  list(APPEND NERAX_PROGRAMS nerax-lt)
endif()
install(TARGETS ${NERAX_PROGRAMS} RUNTIME DESTINATION ${NERAX_PROGRAM_DIR})
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging/bin)
foreach(program ${NERAX_PROGRAMS})
  file(CREATE_LINK ../${NERAX_PROGRAM_DIR}/${program} ${CMAKE_BINARY_DIR}/packaging/bin/${program} SYMBOLIC)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/bin/${program} DESTINATION bin)
endforeach()

# The port-name patterns are the site's to edit. Installed under /usr they
# live in /etc/nerax-lt (a conffile of the package, so an upgrade keeps local
# edits) and the program folder links to them; under any other prefix the
# file itself sits in the program folder. An installation over an earlier
# one keeps the file that is there.
install(CODE "
  set(program_dir \"\${CMAKE_INSTALL_PREFIX}/${NERAX_PROGRAM_DIR}\")
  set(pattern_dir \${program_dir})
  if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
    set(pattern_dir /etc/nerax-lt)
  endif()
  if(EXISTS \"\$ENV{DESTDIR}\${pattern_dir}/__uet__port.txt\")
    message(STATUS \"Keeping: \$ENV{DESTDIR}\${pattern_dir}/__uet__port.txt\")
  else()
    file(INSTALL \"${NERAX_PACKAGING}/__uet__port.txt\" DESTINATION \${pattern_dir})
  endif()
  if(NOT pattern_dir STREQUAL program_dir)
    message(STATUS \"Linking: \$ENV{DESTDIR}\${program_dir}/__uet__port.txt\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${program_dir}\")
    file(REMOVE \"\$ENV{DESTDIR}\${program_dir}/__uet__port.txt\")
    file(CREATE_LINK \${pattern_dir}/__uet__port.txt \"\$ENV{DESTDIR}\${program_dir}/__uet__port.txt\" SYMBOLIC)
  endif()
")

# Desktop entry and icon of the window.
if(TARGET nerax-lt)
  install(FILES ${NERAX_PACKAGING}/nerax-lt.desktop DESTINATION share/applications)
  install(FILES ${NERAX_PACKAGING}/icons/nerax-lt.svg DESTINATION share/icons/hicolor/scalable/apps)
  foreach(size 16 24 32 48 64 128 256)
    install(FILES ${NERAX_PACKAGING}/icons/hicolor/${size}x${size}/apps/nerax-lt.png
            DESTINATION share/icons/hicolor/${size}x${size}/apps)
  endforeach()
endif()

# udev looks in <prefix>/lib/udev/rules.d only for the /usr prefix.
install(FILES ${NERAX_PACKAGING}/99-nerax-lt.rules DESTINATION lib/udev/rules.d)

# Manual pages carry the version; compressed as Debian ships them.
find_program(NERAX_GZIP gzip)
foreach(page nerax-lt-cli.1 nerax-lt-sim.1)
  configure_file(${NERAX_PACKAGING}/man/${page} ${CMAKE_BINARY_DIR}/packaging/man/${page} @ONLY)
  set(installed ${CMAKE_BINARY_DIR}/packaging/man/${page})
  if(NERAX_GZIP)
    execute_process(COMMAND ${NERAX_GZIP} -9nf -k ${installed} RESULT_VARIABLE gzip_result)
    if(gzip_result EQUAL 0)
      set(installed ${installed}.gz)
    endif()
  endif()
  install(FILES ${installed} DESTINATION share/man/man1)
endforeach()

install(FILES ${NERAX_PACKAGING}/nerax-lt.INI DESTINATION share/doc/nerax-lt/examples)

# The Debian package: nerax-lt_<version>_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nerax-lt)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Installs straight under /usr (and /etc), so the rules see the real prefix.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "NERAX LT service tool maintainers <nerax-lt@localhost>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service and production tool for NERAX LT smoke detectors")
set(CPACK_PACKAGE_DESCRIPTION "Connects over the detector's USB serial port to read its identity, state,
EEPROM and event log, tune its ultrasonic flow circuits, run the factory
end-of-line test and write report files.

Programs: nerax-lt (the window), nerax-lt-cli (command line) and
nerax-lt-sim (a virtual detector on a pseudo-terminal).")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS udev)
file(WRITE ${CMAKE_BINARY_DIR}/packaging/debian/conffiles "/etc/nerax-lt/__uet__port.txt\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${NERAX_PACKAGING}/debian/postinst
    ${NERAX_PACKAGING}/debian/postrm
    ${CMAKE_BINARY_DIR}/packaging/debian/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

# Builds the package from this build and tries it as a user would.
add_test(NAME package COMMAND ${CMAKE_SOURCE_DIR}/tests/package_test.sh ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR})
set_tests_properties(package PROPERTIES TIMEOUT 300)
