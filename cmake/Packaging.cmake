# Installation and the Debian package (cpack -G DEB in the build folder). Included last, so that
# every program that exists in this build is known; a program not built is simply not packaged.
include(GNUInstallDirs)

if(WIN32)
    include(cmake/PackagingWindows.cmake)
    return()
endif()

set(QUILLON_PACKAGED_PROGRAMS quillon-tool quillon-radiosim quillon-updater
    CACHE STRING "Programs installed when the build makes them")
foreach(program IN LISTS QUILLON_PACKAGED_PROGRAMS)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()

file(GLOB quillon_pictures CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/app/pictures/*.jpg)
install(FILES ${quillon_pictures}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/quillon-code-updater/pictures)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/quillon-code-updater.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/quillon-code-updater.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillon-code-updater)
install(FILES ${PROJECT_SOURCE_DIR}/sim/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillon-code-updater
        RENAME radiosim.md)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon-code-updater)
set(CPACK_PACKAGE_VERSION 1.4.8)
set(CPACK_PACKAGE_VENDOR Quillon)
set(CPACK_PACKAGE_CONTACT "Quillon Code Updater maintainers <updater@quillon.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Firmware updater for two-way radios, with codeplug backup and conversion")
set(CPACK_PACKAGE_DESCRIPTION
    "Updates the firmware of portable and mobile two-way radios over a serial port and keeps\n\
their codeplug. Ships the technicians' command-line tool and a virtual radio to practise with.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
# The shared libraries the programs link (Qt, libjpeg, libcrypto, the C++ runtime) become the
# package's dependencies.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
