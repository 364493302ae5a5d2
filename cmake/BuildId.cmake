# Writes OUTPUT, a source that defines the build id: OVERRIDE when given, else the commit the
# sources were built from (with "-modified" when tracked files differ from it), else "unknown".
# The file is rewritten only when the id changes, so a build without changes relinks nothing.
#
#   cmake -DSOURCE=<source root> -DOUTPUT=<file.cpp> [-DOVERRIDE=<id>] -P BuildId.cmake

if(OVERRIDE)
    set(id "${OVERRIDE}")
else()
    set(id "unknown")
    find_program(git_program git)
    if(git_program)
        # Only a checkout of these sources counts, not one of a folder they were unpacked in.
        execute_process(COMMAND ${git_program} -C ${SOURCE} rev-parse --show-toplevel
                                --short=12 HEAD
                        OUTPUT_VARIABLE answer RESULT_VARIABLE failed
                        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        string(REPLACE "\n" ";" answer "${answer}")
        list(LENGTH answer lines)
        set(top "")
        set(commit "")
        if(lines EQUAL 2)
            list(GET answer 0 top)
            list(GET answer 1 commit)
            file(REAL_PATH "${top}" top)
        endif()
        file(REAL_PATH "${SOURCE}" source_path)
        if(NOT failed AND commit AND top STREQUAL source_path)
            set(id "${commit}")
            execute_process(COMMAND ${git_program} -C ${SOURCE} status --porcelain
                                    --untracked-files=no
                            OUTPUT_VARIABLE changes ERROR_QUIET)
            if(changes)
                string(APPEND id "-modified")
            endif()
        endif()
    endif()
endif()
string(REGEX REPLACE "[^A-Za-z0-9._+-]" "_" id "${id}")
set(text "// Written by cmake/BuildId.cmake.\nnamespace quillon {\nextern const char kBuildId[];\nconst char kBuildId[] = \"${id}\";\n}  // namespace quillon\n")
set(old "")
if(EXISTS ${OUTPUT})
    file(READ ${OUTPUT} old)
endif()
if(NOT old STREQUAL text)
    file(WRITE ${OUTPUT} "${text}")
endif()
