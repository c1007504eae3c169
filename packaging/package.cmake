# Installation layout and the Debian package (cpack -G DEB).
include(GNUInstallDirs)
install(TARGETS vardex vardex-demo vardex-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# udev reads /usr/lib/udev/rules.d; a package must not put rules in /etc.
install(FILES udev/70-quellbox.rules DESTINATION lib/udev/rules.d)
# Not enabled by the package: the engineer names the hosts to watch. The template runs
# one pair per instance (kept for cabinets set up that way); the plain unit runs every
# pair of /etc/vardex/watch.conf in one process, the controller's one owner.
install(FILES packaging/vardex-watch@.service packaging/vardex-watch.service
        DESTINATION lib/systemd/system)
install(FILES packaging/watch.conf DESTINATION ${CMAKE_INSTALL_DATADIR}/vardex)
# The cabinet service, also shipped disabled; its settings example, the alert rules and
# the Grafana dashboard for the metrics it serves.
install(FILES packaging/vardex-serve.service DESTINATION lib/systemd/system)
install(FILES packaging/serve.conf DESTINATION ${CMAKE_INSTALL_DATADIR}/vardex)
install(FILES packaging/prometheus/vardex-alerts.yml DESTINATION ${CMAKE_INSTALL_DATADIR}/vardex/prometheus)
install(FILES packaging/grafana/vardex-dashboard.json DESTINATION ${CMAKE_INSTALL_DATADIR}/vardex/grafana)
# The group-based rule for hosts reached over SSH: shipped, not enabled (the
# administrator copies it to /etc/udev/rules.d).
install(FILES udev/71-quellbox-group.rules DESTINATION ${CMAKE_INSTALL_DATADIR}/vardex/udev)
install(FILES packaging/vardex.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/io.github.vardex.Vardex.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES packaging/icons/vardex.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES packaging/icons/vardex-48.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps
        RENAME vardex.png)
install(FILES packaging/icons/vardex-256.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps RENAME vardex.png)
install(FILES packaging/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vardex)

# Manual pages and the changelog go in compressed the way Debian wants them: gzip -9,
# no name or time stamp inside, so the package builds the same every time.
find_program(GZIP_PROGRAM gzip REQUIRED)
find_program(SCDOC_PROGRAM scdoc)
set(packaged_docs)
add_custom_command(
    OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/doc
    COMMAND sh -c "\"$0\" -9nc \"$1\" > \"$2\"" ${GZIP_PROGRAM}
            ${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog
            ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog.gz
    DEPENDS packaging/changelog
    COMMENT "Compressing the package changelog"
    VERBATIM)
list(APPEND packaged_docs ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog.gz)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vardex)
if(SCDOC_PROGRAM)
    foreach(page vardex vardex-demo vardex-cli)
        # The pages' text lives in docs/man/*.scd; the version comes from the project.
        configure_file(docs/man/${page}.1.scd ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.1.scd @ONLY)
        set(out ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.1.gz)
        add_custom_command(
            OUTPUT ${out}
            COMMAND sh -c "\"$0\" < \"$1\" | \"$2\" -9n > \"$3\"" ${SCDOC_PROGRAM}
                    ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.1.scd ${GZIP_PROGRAM} ${out}
            DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.1.scd
            COMMENT "Manual page ${page}(1)"
            VERBATIM)
        list(APPEND packaged_docs ${out})
        install(FILES ${out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endforeach()
else()
    message(WARNING "scdoc not found: no manual pages (scripts/setup.sh installs it)")
endif()
add_custom_target(package_docs ALL DEPENDS ${packaged_docs})

set(CPACK_PACKAGE_NAME vardex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Nobody's personal address: the project's own, which takes no mail.
set(CPACK_PACKAGE_CONTACT "Vardex developers <noreply@vardex.github.io>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service tool for the Quellbox monitor controller")
# One string (a CMake list would join its parts with ";"); CPack puts the summary in
# front as the synopsis and indents each line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Vardex reads, watches and configures the Quellbox monitor controller of an
unattended terminal cabinet over USB HID: its description, live state,
outputs, configuration, control loops and event log.
.
The package holds vardex (the window), vardex-demo (the same window with a
simulated controller) and vardex-cli (the command line). Its udev rule lets
the user at the local seat open the controller without root.")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://vardex.github.io/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # vardex_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded as plugins, so the library scan cannot see all of them: the library scan
# brings libqt6gui6 (the xcb display plugin) and libqt6svg6 (the SVG image and icon
# plugins); the other display plugins are in qt6-qpa-plugins, which libqt6gui6 only
# recommends; Qt's own dialogs speak Russian through qt6-translations-l10n.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udev")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${CMAKE_CURRENT_SOURCE_DIR}/packaging/postinst"
                                      "${CMAKE_CURRENT_SOURCE_DIR}/packaging/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_GENERATOR DEB)
include(CPack)
