# SPDX-License-Identifier: GPL-3.0-or-later
# What a desktop needs besides the binary, and the Debian package made from the installed tree:
# `cpack -G DEB` in the build folder writes modgate_<version>_<arch>.deb.
set(MODGATE_APP_ID org.modgate.Modgate)
set(MODGATE_MAINTAINER "The Modgate developers <developers@modgate.org>" CACHE STRING
    "The package's Maintainer, as Name <address>: whoever builds and hands out the package")
configure_file("${PROJECT_SOURCE_DIR}/resources/${MODGATE_APP_ID}.metainfo.xml.in"
               "${PROJECT_BINARY_DIR}/${MODGATE_APP_ID}.metainfo.xml" @ONLY)
configure_file("${PROJECT_SOURCE_DIR}/docs/modgate.6.in" "${PROJECT_BINARY_DIR}/modgate.6" @ONLY)
configure_file("${PROJECT_SOURCE_DIR}/docs/changelog" "${PROJECT_BINARY_DIR}/changelog" COPYONLY)

# Debian wants the manual page and the changelog compressed as hard as gzip can, without a date.
find_program(MODGATE_GZIP gzip REQUIRED)
set(MODGATE_COMPRESSED_DOCS)
foreach(name IN ITEMS modgate.6 changelog)
    add_custom_command(OUTPUT "${PROJECT_BINARY_DIR}/${name}.gz"
        COMMAND "${MODGATE_GZIP}" -9nkf "${PROJECT_BINARY_DIR}/${name}"
        DEPENDS "${PROJECT_BINARY_DIR}/${name}" VERBATIM)
    list(APPEND MODGATE_COMPRESSED_DOCS "${PROJECT_BINARY_DIR}/${name}.gz")
endforeach()
add_custom_target(modgate-docs ALL DEPENDS ${MODGATE_COMPRESSED_DOCS})

install(FILES "${PROJECT_SOURCE_DIR}/resources/${MODGATE_APP_ID}.desktop"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES "${PROJECT_SOURCE_DIR}/resources/images/modgate.svg"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${MODGATE_APP_ID}.svg)
# The mod installers' file types, which the desktop file says Modgate opens.
install(FILES "${PROJECT_SOURCE_DIR}/resources/${MODGATE_APP_ID}.xml"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES "${PROJECT_BINARY_DIR}/${MODGATE_APP_ID}.metainfo.xml"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES "${PROJECT_BINARY_DIR}/modgate.6.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
# Debian keeps the licence and the changelog with each package, under these names.
install(FILES "${PROJECT_SOURCE_DIR}/resources/copyright" "${PROJECT_BINARY_DIR}/changelog.gz"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/modgate)

# Packaging is the top-level project's business, not a parent's.
if(NOT MODGATE_TOP_LEVEL)
    return()
endif()
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME modgate)
set(CPACK_PACKAGE_VENDOR "The Modgate developers")
set(CPACK_PACKAGE_CONTACT "${MODGATE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${MODGATE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Launch Unreal Tournament 2004 with one of its mods")
# Lines of at most 80 characters, as Debian's tools show them.
set(CPACK_PACKAGE_DESCRIPTION "Modgate lists the mods installed in a copy of Unreal Tournament 2004 and
starts the game with the one you pick. It finds the game by itself, or asks
once, and opens a mod's web page from its row.")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its platform plugins at run time, out of dpkg-shlibdeps' sight.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
include(CPack)
