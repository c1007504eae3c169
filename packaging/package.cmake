# Installation layout and the Debian package (cpack -G DEB).
include(GNUInstallDirs)
install(TARGETS vardex vardex-demo vardex-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# udev reads /usr/lib/udev/rules.d; a package must not put rules in /etc.
install(FILES udev/70-quellbox.rules DESTINATION lib/udev/rules.d)
# A template, not enabled by the package: the engineer names the host to watch.
install(FILES packaging/vardex-watch@.service DESTINATION lib/systemd/system)
install(FILES packaging/vardex.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/io.github.vardex.Vardex.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES packaging/icons/vardex.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES packaging/icons/vardex-48.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps
        RENAME vardex.png)
install(FILES packaging/icons/vardex-256.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps RENAME vardex.png)

set(CPACK_PACKAGE_NAME vardex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Vardex developers <vardex@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Service tool for the Quellbox monitor controller")
set(CPACK_PACKAGE_DESCRIPTION
    "Reads, watches and configures the Quellbox monitor controller over USB HID.\n"
    "Includes vardex (the window), vardex-cli (the command line) and vardex-demo\n"
    "(the window with a simulated controller).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # vardex_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded as plugins, so the library scan cannot see them: the SVG icons of the pages
# and of the window need Qt's SVG image and icon plugins.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udev")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${CMAKE_CURRENT_SOURCE_DIR}/packaging/postinst"
                                      "${CMAKE_CURRENT_SOURCE_DIR}/packaging/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_GENERATOR DEB)
include(CPack)
