# Installation layout and the Debian package.
#   bin/                         quarvel, quarvel-cli, rk9-sim
#   share/quarvel/lang/          the French, Italian and Bulgarian packs
#   share/quarvel/register       the installer's step that creates the settings key for a user
#   share/applications/          the desktop entry
#   share/icons/hicolor/NxN/     the icon at 16, 32, 48, 64 and 128 px
#   share/man/man1/              the manual pages
#   share/metainfo/              the AppStream metadata

foreach(_program quarvel quarvel-cli rk9-sim)
  if(TARGET ${_program})
    install(TARGETS ${_program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

file(GLOB _packs ${PROJECT_SOURCE_DIR}/resources/lang/*.json)
install(FILES ${_packs} DESTINATION ${QUARVEL_LANG_INSTALL_DIR})
install(PROGRAMS ${PROJECT_SOURCE_DIR}/scripts/register DESTINATION ${CMAKE_INSTALL_DATADIR}/quarvel)

install(FILES ${PROJECT_SOURCE_DIR}/packaging/quarvel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/com.kordane.quarvel.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(_size 16 32 48 64 128)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/quarvel-${_size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps
          RENAME quarvel.png)
endforeach()

# Manual pages, compressed as Debian expects.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
foreach(_page quarvel quarvel-cli rk9-sim)
  set(_gz ${PROJECT_BINARY_DIR}/man/${_page}.1.gz)
  add_custom_command(OUTPUT ${_gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND ${GZIP_EXECUTABLE} -9nc ${PROJECT_SOURCE_DIR}/packaging/man/${_page}.1 > ${_gz}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/man/${_page}.1 VERBATIM)
  list(APPEND _manpages ${_gz})
endforeach()
add_custom_target(manpages ALL DEPENDS ${_manpages})
install(FILES ${_manpages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# A plain `cmake --install` (not a package build) registers the packs for the installing user, as
# the installer does on Windows: under sudo for the person who ran sudo (as that person, in their own
# settings), not for root. A package build stages into DESTDIR and leaves that to post-install.
install(CODE "
  if(\"\$ENV{DESTDIR}\" STREQUAL \"\" AND NOT QUARVEL_NO_REGISTER)
    set(_register \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/quarvel/register\"
                  --lang-dir \"\${CMAKE_INSTALL_PREFIX}/${QUARVEL_LANG_INSTALL_DIR}\")
    set(_user \"\$ENV{SUDO_USER}\")
    if(NOT _user STREQUAL \"\" AND NOT _user STREQUAL \"root\")
      execute_process(COMMAND getent passwd \"\${_user}\" OUTPUT_VARIABLE _entry OUTPUT_STRIP_TRAILING_WHITESPACE)
      string(REPLACE \":\" \";\" _fields \"\${_entry}\")
      list(LENGTH _fields _count)
      if(_count GREATER 5)
        list(GET _fields 5 _home)
        set(_register runuser -u \"\${_user}\" -- env \"HOME=\${_home}\" \"XDG_CONFIG_HOME=\${_home}/.config\" \${_register})
        message(STATUS \"Registering the language packs for \${_user}\")
      endif()
    endif()
    execute_process(COMMAND \${_register} RESULT_VARIABLE _rc)
    if(NOT _rc EQUAL 0)
      message(WARNING \"Registering the language packs failed (\${_rc})\")
    endif()
  endif()")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quarvel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kordane")
set(CPACK_PACKAGE_CONTACT "Kordane service <service@kordane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Service utility for the RK-9 crimping tool")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Service utility for the RK-9 crimping tool
Quarvel reads an RK-9 crimping tool through its controller's serial port: the model,
the cycle counters, the last cycle's stop position, force, result and direction, the
serial numbers and the firmware version, and saves them as a UTF-16 text or CSV
report. The package also holds quarvel-cli and the rk9-sim simulator.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "util-linux, libsqlite3-0, fonts-dejavu-core")
# Qt's own texts (message-box buttons, the Save-As dialog) in the chosen language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${PROJECT_SOURCE_DIR}/packaging/debian/postinst
  ${PROJECT_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
