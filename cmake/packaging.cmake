# SPDX-License-Identifier: GPL-3.0-or-later
# What a desktop needs besides the binary, and the Debian package made from the installed tree:
# `cpack -G DEB` in the build folder writes modgate_<version>_<arch>.deb.
set(MODGATE_APP_ID org.modgate.Modgate)
configure_file("${PROJECT_SOURCE_DIR}/resources/${MODGATE_APP_ID}.metainfo.xml.in"
               "${PROJECT_BINARY_DIR}/${MODGATE_APP_ID}.metainfo.xml" @ONLY)

install(FILES "${PROJECT_SOURCE_DIR}/resources/${MODGATE_APP_ID}.desktop"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES "${PROJECT_SOURCE_DIR}/resources/images/modgate.svg"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${MODGATE_APP_ID}.svg)
install(FILES "${PROJECT_BINARY_DIR}/${MODGATE_APP_ID}.metainfo.xml"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# Debian keeps the licence with each package, under this name.
install(FILES "${PROJECT_SOURCE_DIR}/LICENSE"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/modgate RENAME copyright)

# Packaging is the top-level project's business, not a parent's.
if(NOT MODGATE_TOP_LEVEL)
    return()
endif()
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME modgate)
set(CPACK_PACKAGE_VENDOR "The Modgate developers")
set(CPACK_PACKAGE_CONTACT "The Modgate developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Launch Unreal Tournament 2004 with one of its mods")
set(CPACK_PACKAGE_DESCRIPTION "Modgate lists the mods installed in a copy of Unreal Tournament \
2004 and starts the game with the one you pick.\n\nLicense: GPL-3.0-or-later")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its platform plugins at run time, out of dpkg-shlibdeps' sight.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
include(CPack)
