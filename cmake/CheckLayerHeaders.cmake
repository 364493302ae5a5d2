# Fails when a source of the protocol layers includes a Qt header or an operating-system header.
# Those layers reach the world only through the interfaces in serial/, so that they build and
# run on any platform and under the virtual event pump.
#
#   cmake -DROOT=<source root> [-DFOLDERS=link;parms;download;transfer] -P CheckLayerHeaders.cmake
#   cmake -DSELF_TEST=<scratch folder> -P CheckLayerHeaders.cmake
#
# The second form plants a forbidden include in a scratch tree and fails unless the check
# rejects it (and accepts the same tree without it), so the check cannot pass silently.

if(NOT FOLDERS)
    set(FOLDERS link parms download transfer)
endif()

# Header names (as written between the brackets or quotes) the layers must not include.
set(forbidden_qt "^(Q[A-Za-z0-9_]*(\\.h)?|Qt[A-Za-z0-9_]*/.*|q[a-z0-9_]*\\.h)$")
set(forbidden_os "^(unistd|termios|fcntl|poll|windows|pthread|dirent|signal)\\.h$|^sys/")

# Sets `out` to the list of "file:line: include" entries that break the rule under `root`.
function(find_forbidden_includes root out)
    set(found "")
    foreach(folder ${FOLDERS})
        file(GLOB_RECURSE sources ${root}/${folder}/*.h ${root}/${folder}/*.cpp)
        list(SORT sources)
        foreach(source ${sources})
            file(STRINGS ${source} lines)
            set(number 0)
            foreach(line IN LISTS lines)
                math(EXPR number "${number} + 1")
                if(line MATCHES "^[ \t]*#[ \t]*include[ \t]*([<\"]([^>\"]+)[>\"])")
                    set(written "${CMAKE_MATCH_1}")
                    set(header "${CMAKE_MATCH_2}")
                    if(header MATCHES "${forbidden_qt}" OR header MATCHES "${forbidden_os}")
                        file(RELATIVE_PATH name ${root} ${source})
                        list(APPEND found "${name}:${number}: #include ${written}")
                    endif()
                endif()
            endforeach()
        endforeach()
    endforeach()
    set(${out} "${found}" PARENT_SCOPE)
endfunction()

if(SELF_TEST)
    set(tree ${SELF_TEST}/tree)
    file(REMOVE_RECURSE ${tree})
    file(WRITE ${tree}/link/Clean.cpp "#include <vector>\n#include \"serial/EventPump.h\"\n")
    find_forbidden_includes(${tree} clean)
    if(clean)
        message(FATAL_ERROR "self-test: a clean tree was rejected: ${clean}")
    endif()
    foreach(plant "<unistd.h>" "<sys/ioctl.h>" "<QTimer>" "<QtCore/QObject>" "  #  include <windows.h>")
        if(plant MATCHES "include")
            set(text "${plant}\n")
        else()
            set(text "#include ${plant}\n")
        endif()
        file(WRITE ${tree}/parms/Planted.h "#pragma once\n${text}")
        find_forbidden_includes(${tree} planted)
        if(NOT planted)
            message(FATAL_ERROR "self-test: the planted include ${plant} was not found")
        endif()
    endforeach()
    file(REMOVE_RECURSE ${tree})
    message(STATUS "self-test: forbidden includes are found, clean sources pass")
    return()
endif()

if(NOT ROOT)
    message(FATAL_ERROR "ROOT (the source root) is required")
endif()
find_forbidden_includes(${ROOT} found)
if(found)
    list(JOIN found "\n  " text)
    message(FATAL_ERROR "Qt or operating-system headers in the protocol layers "
                        "(${FOLDERS}); reach them through serial/ instead:\n  ${text}")
endif()
message(STATUS "no Qt or operating-system headers in ${FOLDERS}")
