# Where an installed Tesorin lives. The program reads its configuration file,
# logo and manual beside its executable, so they share one folder under /opt;
# /usr/bin only holds a launcher (which picks the user's own configuration
# when there is one), and the desktop entry and icon go where
# desktops look for them.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX /usr CACHE PATH "Install prefix" FORCE)
endif()
set(TESORIN_APP_DIR /opt/tesorin CACHE PATH "Folder of the installed executable and its files")

install(TARGETS tesorin RUNTIME DESTINATION ${TESORIN_APP_DIR})
install(FILES resources/logo.jpg DESTINATION ${TESORIN_APP_DIR})
if(TARGET manual)
  install(FILES "${TESORIN_MANUAL}" DESTINATION ${TESORIN_APP_DIR})
endif()
# The launcher names the folder this build installs to.
configure_file(resources/tesorin-launcher.sh.in ${CMAKE_BINARY_DIR}/tesorin-launcher.sh @ONLY)
install(PROGRAMS ${CMAKE_BINARY_DIR}/tesorin-launcher.sh DESTINATION bin RENAME tesorin)
install(FILES resources/tesorin.desktop DESTINATION share/applications)
install(FILES resources/tesorin.svg DESTINATION share/icons/hicolor/scalable/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tesorin)
set(CPACK_PACKAGE_VENDOR "Tesorin")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Tesorería y padrón de socios de una cooperadora escolar")
set(CPACK_PACKAGE_DESCRIPTION
    "Tesorin lleva el padrón de socios y alumnos, las cuotas con sus recibos, otros ingresos, pagos, movimientos entre caja y banco, el plan de cuentas, el libro de socios y el balance de una cooperadora escolar, en un único archivo SQLite.")
set(CPACK_PACKAGE_CONTACT "Tesorin <tesorin@localhost>")
# A package always installs under /usr, whatever prefix this build was given.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR ON) # the /opt folder is an absolute destination
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# The libraries the executable links are found by dpkg-shlibdeps; what Qt
# loads at run time is not linked, so it is named here: the SQLite driver, the
# screen plugins, the Spanish texts of Qt's own dialogs, and the fonts the
# receipts and reports are drawn with.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6sql6-sqlite, libqt6sql6-psql, qt6-qpa-plugins, qt6-translations-l10n, fonts-liberation2, fonts-comic-neue")
include(CPack)
