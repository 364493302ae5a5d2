# cmake -DROOT=<source root> -DSCRATCH=<folder> -P BuildIdTest.cmake
file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH}/not-a-checkout)
set(out ${SCRATCH}/BuildId.cpp)

# Runs the generator and sets `id` to the id it wrote.
function(build_id source override)
    execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE=${source} -DOUTPUT=${out}
                            -DOVERRIDE=${override} -P ${ROOT}/cmake/BuildId.cmake
                    RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "BuildId.cmake failed for ${source}")
    endif()
    file(READ ${out} text)
    if(NOT text MATCHES "kBuildId\\[\\] = \"([^\"]*)\"")
        message(FATAL_ERROR "no id in:\n${text}")
    endif()
    set(id "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()

function(expect what actual expected)
    if(NOT actual STREQUAL expected)
        message(FATAL_ERROR "${what}: got \"${actual}\", expected \"${expected}\"")
    endif()
endfunction()

build_id(${SCRATCH}/not-a-checkout "")
expect("outside a checkout" "${id}" "unknown")

# An override is taken as given, with characters that would break the source replaced.
build_id(${SCRATCH}/not-a-checkout "ci 42\"x")
expect("override" "${id}" "ci_42_x")

find_program(git_program git)
if(git_program AND EXISTS ${ROOT}/.git)
    execute_process(COMMAND ${git_program} -C ${ROOT} rev-parse --short=12 HEAD
                    OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE)
    build_id(${ROOT} "")
    if(NOT id MATCHES "^${commit}(-modified)?$")
        message(FATAL_ERROR "checkout: got \"${id}\", expected ${commit}[-modified]")
    endif()
endif()

# The same id again leaves the file untouched, so nothing is relinked.
file(TIMESTAMP ${out} before "%s%f" UTC)
execute_process(COMMAND ${CMAKE_COMMAND} -E sleep 1.1)
file(READ ${out} old)
if(old MATCHES "unknown")
    build_id(${SCRATCH}/not-a-checkout "")
else()
    build_id(${ROOT} "")
endif()
file(TIMESTAMP ${out} after "%s%f" UTC)
expect("unchanged id rewrote the file" "${after}" "${before}")
