# Install layout beyond the two programs, and the Debian package built from it
# with `cpack -G DEB` in the build folder.
include(GNUInstallDirs)

install(FILES ${CMAKE_CURRENT_LIST_DIR}/qr36tn-setting.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/qr36tn-setting.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qr36tn-setting-tool)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Setting tool for the QR36-TN counter module")
set(CPACK_PACKAGE_DESCRIPTION
    "Reads and writes the measurement, reference-point, network and PLC-link settings of a QR36-TN counter module over its TCP command port, and shows the live readings of its gauge axes. Ships qr36tn-simulator, which plays a module on a loopback address for practice.")
set(CPACK_PACKAGE_CONTACT "QR36-TN Setting tool developers")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
# dpkg-shlibdeps turns the programs' shared libraries into Debian package names,
# so the package asks for the Qt 5 runtime packages the binaries were linked with.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The program's font (forms/applicationfont.h); shlibdeps adds the libraries to it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-crosextra-carlito")

include(CPack)
