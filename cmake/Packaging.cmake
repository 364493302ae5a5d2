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
install(DIRECTORY ${PROJECT_SOURCE_DIR}/sim/scenarios/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/quillon-code-updater/scenarios)

# What Debian asks of every package besides the programs: the copyright, a changelog compressed
# as gzip -9n makes it (no name or time stamp inside, so equal builds give equal files) and a
# manual page for each program.
set(QUILLON_PACKAGE_VERSION 1.4.8)
set(quillon_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/quillon-code-updater)
set(quillon_doc_out ${PROJECT_BINARY_DIR}/packaging)
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^quillon-code-updater \\(${QUILLON_PACKAGE_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog does not begin with release ${QUILLON_PACKAGE_VERSION}")
endif()
find_program(QUILLON_GZIP gzip REQUIRED)
find_program(QUILLON_HELP2MAN help2man)
set(quillon_doc_files ${quillon_doc_out}/changelog.gz)
add_custom_command(
    OUTPUT ${quillon_doc_out}/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/packaging/changelog ${quillon_doc_out}/changelog
    COMMAND ${QUILLON_GZIP} -9nf ${quillon_doc_out}/changelog
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
    VERBATIM)

# The command-line programs' pages are made from their --help at build time, with the sections
# of packaging/<program>.h2m added; they are run by name from their folder, so the usage line
# names the program and not the build path. The updater's page is written by hand.
set(quillon_man_pages "")
foreach(program quillon-tool quillon-radiosim)
    if(NOT TARGET ${program})
        continue()
    endif()
    if(NOT QUILLON_HELP2MAN)
        message(WARNING "help2man not found (scripts/setup.sh installs it): no manual page for ${program}")
        continue()
    endif()
    set(page ${quillon_doc_out}/man/${program}.1)
    add_custom_command(
        OUTPUT ${page}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${quillon_doc_out}/man
        COMMAND ${CMAKE_COMMAND} -E env "PATH=$<TARGET_FILE_DIR:${program}>:$ENV{PATH}"
                ${QUILLON_HELP2MAN} --no-info --section=1
                --version-string=${QUILLON_PACKAGE_VERSION}
                --include=${PROJECT_SOURCE_DIR}/packaging/${program}.h2m --output=${page} ${program}
        COMMAND ${QUILLON_GZIP} -9nf ${page}
        DEPENDS ${program} ${PROJECT_SOURCE_DIR}/packaging/${program}.h2m
        COMMENT "Manual page of ${program} from its --help"
        VERBATIM)
    list(APPEND quillon_man_pages ${page}.gz)
endforeach()
if(TARGET quillon-updater)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/quillon-updater.1.in
                   ${quillon_doc_out}/man/quillon-updater.1 @ONLY)
    add_custom_command(
        OUTPUT ${quillon_doc_out}/man/quillon-updater.1.gz
        COMMAND ${QUILLON_GZIP} -9nkf ${quillon_doc_out}/man/quillon-updater.1
        DEPENDS ${quillon_doc_out}/man/quillon-updater.1
        VERBATIM)
    list(APPEND quillon_man_pages ${quillon_doc_out}/man/quillon-updater.1.gz)
endif()
add_custom_target(quillon_package_docs ALL DEPENDS ${quillon_doc_files} ${quillon_man_pages})

# The machine-readable copyright names its format by Debian's address for it; that address is
# taken from the copyright file of a Debian package this build already has (cmake, dpkg), so
# that the project itself writes no host name.
set(QUILLON_COPYRIGHT_FORMAT "")
foreach(known /usr/share/doc/cmake/copyright /usr/share/doc/dpkg/copyright
        /usr/share/doc/lintian/copyright)
    if(NOT QUILLON_COPYRIGHT_FORMAT AND EXISTS ${known})
        file(STRINGS ${known} format_line REGEX "^Format: .*copyright-format/1\\.0/?$" LIMIT_COUNT 1)
        string(REGEX REPLACE "^Format: *" "" QUILLON_COPYRIGHT_FORMAT "${format_line}")
    endif()
endforeach()
if(NOT QUILLON_COPYRIGHT_FORMAT)
    message(WARNING "No Debian copyright file names the copyright format here; the package's "
                    "copyright file will not say its format")
endif()
configure_file(${PROJECT_SOURCE_DIR}/packaging/copyright.in ${quillon_doc_out}/copyright @ONLY)

install(FILES ${quillon_doc_out}/copyright ${quillon_doc_files}
        DESTINATION ${quillon_doc_dir})
install(FILES ${quillon_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${quillon_doc_dir})
install(FILES ${PROJECT_SOURCE_DIR}/sim/README.md DESTINATION ${quillon_doc_dir} RENAME radiosim.md)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon-code-updater)
set(CPACK_PACKAGE_VERSION ${QUILLON_PACKAGE_VERSION})
set(CPACK_PACKAGE_VENDOR Quillon)
set(CPACK_PACKAGE_CONTACT "Quillon Code Updater maintainers <updater@quillon.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Firmware updater for two-way radios, with codeplug backup and conversion")
# Debian wants the long description in lines of at most 80 characters.
set(CPACK_PACKAGE_DESCRIPTION
    "Updates the firmware of portable and mobile two-way radios over a serial port\n\
and keeps their codeplug. Ships the technicians' command-line tool and a\n\
virtual radio to practise with.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
# The shared libraries the programs link (Qt, libjpeg, libcrypto, the C++ runtime) become the
# package's dependencies.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
