# SPDX-License-Identifier: GPL-3.0-or-later
# Install layout beyond the programs and their manual pages, and the Debian
# package built from it with `cpack -G DEB` in the build folder.
include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME qr36tn-setting-tool)
set(QR36_METAINFO ${CMAKE_CURRENT_LIST_DIR}/example.qr36tn.setting.metainfo.xml)
set(QR36_CHANGELOG ${CMAKE_CURRENT_LIST_DIR}/changelog)

# The newest entries of the changelog and of the metainfo's releases name the version being built.
file(STRINGS ${QR36_CHANGELOG} newest LIMIT_COUNT 1)
if(NOT newest MATCHES "^${CPACK_PACKAGE_NAME} \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog does not start with version ${PROJECT_VERSION}: ${newest}")
endif()
file(STRINGS ${QR36_METAINFO} newest REGEX "<release " LIMIT_COUNT 1)
if(NOT newest MATCHES "version=\"${PROJECT_VERSION}\"")
    message(FATAL_ERROR "the metainfo's first release is not ${PROJECT_VERSION}: ${newest}")
endif()

install(FILES ${CMAKE_CURRENT_LIST_DIR}/qr36tn-setting.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/qr36tn-setting.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${QR36_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(QR36_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME})
set(changelog_gz ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${changelog_gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND ${CMAKE_COMMAND} -E copy ${QR36_CHANGELOG} ${CMAKE_BINARY_DIR}/packaging/changelog
    COMMAND ${QR36_GZIP} -9nf ${CMAKE_BINARY_DIR}/packaging/changelog
    DEPENDS ${QR36_CHANGELOG}
    VERBATIM)
add_custom_target(qr36-changelog ALL DEPENDS ${changelog_gz})
add_dependencies(qr36-package-parts qr36-changelog)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${changelog_gz} DESTINATION ${QR36_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Setting tool for the QR36-TN counter module")
# Debian wants the long description wrapped below 80 columns: the file is.
set(CPACK_PACKAGE_DESCRIPTION_FILE ${CMAKE_CURRENT_LIST_DIR}/description.txt)
set(CPACK_PACKAGE_CONTACT "QR36-TN Setting tool developers <developers@qr36tn.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
# dpkg-shlibdeps turns the programs' shared libraries into Debian package names,
# so the package asks for the Qt runtime packages (5 or 6) the binaries were linked with.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Packages needed beyond those libraries, one list entry each (CPack adds the
# libraries' packages after these). The font is the program's (forms/applicationfont.h).
set(QR36_PACKAGE_DEPENDS fonts-crosextra-carlito)
list(JOIN QR36_PACKAGE_DEPENDS ", " CPACK_DEBIAN_PACKAGE_DEPENDS)

include(CPack)
