# Installation and the Debian package: desktop entry, AppStream metadata, the application icon
# in every hicolor size, the translations, the systemd user unit, the man page and the
# copyright file.
# `cmake --install <build> --strip` strips the binary; the package is always stripped.

include(GNUInstallDirs)

set(VIGILMOUNT_APP_ID org.vigilmount.Vigilmount)
set(VIGILMOUNT_ICON_SIZES 16 24 32 48 64 128 256)
set(vigilmount_data ${PROJECT_SOURCE_DIR}/data)
set(vigilmount_generated ${PROJECT_BINARY_DIR}/data)
# Debian keeps the copyright and changelog under the package's name, which is lower case.
set(vigilmount_docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/vigilmount)

find_program(RSVG_CONVERT rsvg-convert REQUIRED)
find_program(SCDOC scdoc REQUIRED)
find_program(GZIP gzip REQUIRED)

# The PNG sizes come from the one SVG at build time, so the picture has a single source.
set(icon_source ${vigilmount_data}/icons/${VIGILMOUNT_APP_ID}.svg)
set(icon_files "")
foreach(size IN LISTS VIGILMOUNT_ICON_SIZES)
  set(png ${vigilmount_generated}/icons/${size}x${size}/${VIGILMOUNT_APP_ID}.png)
  add_custom_command(
    OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${vigilmount_generated}/icons/${size}x${size}
    COMMAND ${RSVG_CONVERT} --width=${size} --height=${size} --output=${png} ${icon_source}
    DEPENDS ${icon_source}
    COMMENT "Rendering the ${size} px application icon"
    VERBATIM)
  list(APPEND icon_files ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${icon_source} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Compressed without a name or time stamp, so two builds give the same bytes.
set(man_source ${vigilmount_generated}/vigilmount.1)
set(man_page ${man_source}.gz)
add_custom_command(
  OUTPUT ${man_source} ${man_page}
  COMMAND sh -c "\"$0\" < \"$1\" > \"$2\"" ${SCDOC} ${vigilmount_data}/vigilmount.1.scd
          ${man_source}
  COMMAND ${GZIP} -9nkf ${man_source}
  DEPENDS ${vigilmount_data}/vigilmount.1.scd
  COMMENT "Building the vigilmount(1) man page"
  VERBATIM)
install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(debian_changelog ${vigilmount_generated}/changelog.gz)
add_custom_command(
  OUTPUT ${debian_changelog}
  COMMAND sh -c "\"$0\" -9n < \"$1\" > \"$2\""
          ${GZIP} ${PROJECT_SOURCE_DIR}/packaging/debian/changelog ${debian_changelog}
  VERBATIM
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/debian/changelog
  COMMENT "Compressing the Debian changelog")

add_custom_target(vigilmount_data ALL DEPENDS ${icon_files} ${man_page} ${debian_changelog})

install(FILES ${vigilmount_data}/${VIGILMOUNT_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${vigilmount_data}/${VIGILMOUNT_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright DESTINATION ${vigilmount_docdir})
# Looked for there by the program (next to ../share from its binary).
install(FILES ${VIGILMOUNT_QM_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/vigilmount/translations)
install(FILES ${debian_changelog} DESTINATION ${vigilmount_docdir} COMPONENT debian
        EXCLUDE_FROM_ALL)

# The unit names the binary where this install puts it. The prefix is known only when the
# install runs (`cmake --install --prefix`, CPack's /usr), so the unit is configured then.
if(IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}")
  set(unit_bindir "${CMAKE_INSTALL_BINDIR}")
else()
  set(unit_bindir "\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}")
endif()
set(unit_file ${vigilmount_generated}/vigilmount.service)
install(CODE "
  set(VIGILMOUNT_BINDIR \"${unit_bindir}\")
  configure_file(\"${vigilmount_data}/vigilmount.service.in\" \"${unit_file}\" @ONLY)")
# systemd looks for user units in <prefix>/lib/systemd/user, never in a multiarch libdir.
install(FILES ${unit_file} DESTINATION lib/systemd/user)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vigilmount)
set(CPACK_PACKAGE_VENDOR "The Vigilmount developers")
set(CPACK_PACKAGE_CONTACT "The Vigilmount developers <dev@vigilmount.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "watchdog for Plex Media Server and its media share")
set(CPACK_PACKAGE_DESCRIPTION
    "Vigilmount lives in the system tray of the computer that runs a Plex media
server and keeps two things alive: the Plex Media Server process and the
network share that holds the media library. It checks at start-up, every few
minutes and after the computer wakes from sleep, starts the server again and
mounts the share again with the password kept in the login keyring, and keeps
a history of every outage. It can also run headless as a systemd user service.")
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL Unspecified debian)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its platform and SVG icon plugins at run time, where dpkg-shlibdeps cannot see them.
# libglib2.0-bin: the share probe asks a fresh `gio` client when its own GVfs view is stale.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6, libglib2.0-bin")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gvfs-backends, gvfs-fuse, gnome-keyring")
include(CPack)
