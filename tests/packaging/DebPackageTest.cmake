# cmake -DBINARY_DIR=... -DCPACK=... -DDPKG_DEB=... -DLINTIAN=... -P DebPackageTest.cmake
# Builds the package, has lintian check it against Debian's policy (no error, no warning allowed),
# unpacks it into a throw-away root and checks that what it installs works.
string(RANDOM LENGTH 8 suffix)
set(work ${BINARY_DIR}/packaging-test-${suffix})
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work}/root)

function(fail message)
    file(REMOVE_RECURSE ${work})
    message(FATAL_ERROR "${message}")
endfunction()

execute_process(COMMAND ${CPACK} -G DEB -B ${work}/out --config ${BINARY_DIR}/CPackConfig.cmake
                WORKING_DIRECTORY ${BINARY_DIR}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
    fail("cpack failed (${rc}):\n${out}")
endif()
file(GLOB debs ${work}/out/*.deb)
list(LENGTH debs count)
if(NOT count EQUAL 1)
    fail("expected one .deb, found ${count}:\n${out}")
endif()

execute_process(COMMAND ${DPKG_DEB} -f ${debs} Package Depends
                RESULT_VARIABLE rc OUTPUT_VARIABLE fields ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT fields MATCHES "Package: quillon-code-updater")
    fail("unreadable control fields (${rc}): ${fields}${err}")
endif()
foreach(library libc6 libqt6widgets6 libqt6serialport6 libjpeg)
    if(NOT fields MATCHES "Depends: [^\n]*${library}")
        fail("the package does not declare ${library}: ${fields}")
    endif()
endforeach()

if(NOT LINTIAN)
    fail("lintian is not installed (scripts/setup.sh installs it)")
endif()
execute_process(COMMAND ${LINTIAN} --fail-on error,warning ${debs}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
# --fail-on ends lintian with 1 on an error or a warning; the tags are looked for as well.
if(NOT rc EQUAL 0 OR out MATCHES "(^|\n)[EW]: ")
    fail("lintian found faults in the package (${rc}):\n${out}${err}")
endif()

execute_process(COMMAND ${DPKG_DEB} -x ${debs} ${work}/root RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
    fail("dpkg-deb -x failed (${rc}): ${err}")
endif()

foreach(file usr/share/applications/quillon-code-updater.desktop
             usr/share/icons/hicolor/scalable/apps/quillon-code-updater.svg
             usr/share/quillon-code-updater/pictures/about.jpg
             usr/share/quillon-code-updater/pictures/portable-g.jpg
             usr/share/quillon-code-updater/pictures/portable-x.jpg
             usr/share/quillon-code-updater/pictures/mobile-g.jpg
             usr/share/quillon-code-updater/pictures/mobile-x.jpg
             usr/share/quillon-code-updater/scenarios/portable-6700.json
             usr/share/doc/quillon-code-updater/copyright
             usr/share/doc/quillon-code-updater/changelog.gz
             usr/share/man/man1/quillon-tool.1.gz
             usr/share/man/man1/quillon-radiosim.1.gz
             usr/share/man/man1/quillon-updater.1.gz)
    if(NOT EXISTS ${work}/root/${file})
        fail("the package lacks ${file}")
    endif()
endforeach()

foreach(program quillon-tool quillon-radiosim)
    execute_process(COMMAND ${work}/root/usr/bin/${program} --help
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0 OR out STREQUAL "")
        fail("${program} --help from the package gave ${rc}:\n${out}${err}")
    endif()
endforeach()

# The virtual radio finds the scenarios installed beside it.
execute_process(COMMAND ${work}/root/usr/bin/quillon-radiosim --list-scenarios
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT out MATCHES "/usr/share/quillon-code-updater/scenarios .*\n  portable-6700 ")
    fail("quillon-radiosim --list-scenarios from the package gave ${rc}:\n${out}${err}")
endif()

# The updater: its command-line usage, and its window, which opens and stays until closed.
execute_process(COMMAND ${work}/root/usr/bin/quillon-updater /? INPUT_FILE /dev/null
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT out MATCHES "^Usage: quillon-updater")
    fail("quillon-updater /? from the package gave ${rc}:\n${out}${err}")
endif()
set(ENV{QT_QPA_PLATFORM} offscreen)
execute_process(COMMAND ${work}/root/usr/bin/quillon-updater INPUT_FILE /dev/null TIMEOUT 3
                WORKING_DIRECTORY ${work}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc MATCHES "timeout")
    fail("the window from the package did not stay open (${rc}):\n${out}${err}")
endif()

file(REMOVE_RECURSE ${work})
