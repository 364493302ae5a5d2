# quillon_fuzz_instrument(<target>)
# With QUILLON_FUZZ, compiles a library with libFuzzer's coverage instrumentation, so that the
# fuzz targets linking it are steered by the code they exercise, and lets every program linking
# it (tests included) pull in the coverage runtime.
function(quillon_fuzz_instrument target)
    if(QUILLON_FUZZ)
        target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
        target_link_options(${target} INTERFACE -fsanitize=fuzzer-no-link)
    endif()
endfunction()

# quillon_layer(<name> [DEPS ...])
# A static library of every .cpp in the calling folder, with the source root on its include path.
function(quillon_layer name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    if(sources)
        add_library(${name} STATIC ${sources})
        target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
        target_link_libraries(${name} PUBLIC ${ARG_DEPS})
        quillon_fuzz_instrument(${name})
    else()
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
        target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    endif()
endfunction()

# quillon_tests(<name> [DEPS ...])
# One GoogleTest executable of every .cpp in the calling folder, registered with ctest.
function(quillon_tests name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    if(NOT sources)
        return()
    endif()
    add_executable(${name} ${sources})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gmock GTest::gtest_main Threads::Threads)
    target_compile_definitions(${name} PRIVATE
        QUILLON_BINARY_DIR="${PROJECT_BINARY_DIR}"
        QUILLON_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    include(GoogleTest)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
endfunction()

# quillon_fuzz(<name> <source> [SECONDS n] [DEPS ...])
# A libFuzzer target, also registered with ctest to run for a bounded time.
set(QUILLON_FUZZ_SECONDS 20 CACHE STRING "How long each fuzz target runs under ctest")
function(quillon_fuzz name source)
    cmake_parse_arguments(ARG "" "SECONDS" "DEPS" ${ARGN})
    if(NOT ARG_SECONDS)
        set(ARG_SECONDS ${QUILLON_FUZZ_SECONDS})
    endif()
    add_executable(${name} ${source})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE ${ARG_DEPS})
    set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
    file(MAKE_DIRECTORY ${corpus})
    add_test(NAME fuzz.${name}
             COMMAND ${name} -max_total_time=${ARG_SECONDS} -timeout=10 -rss_limit_mb=2048
                     -print_final_stats=1 ${corpus})
    set_tests_properties(fuzz.${name} PROPERTIES TIMEOUT 300)
endfunction()

# quillon_bench(<name> <source> [DEPS ...])
function(quillon_bench name source)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    add_executable(${name} ${source})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark Threads::Threads)
endfunction()

# quillon_add_subfolders(): adds every direct sub-folder of the calling folder that has a
# CMakeLists.txt (one per layer or command, so each can be worked on on its own).
function(quillon_add_subfolders)
    file(GLOB children LIST_DIRECTORIES true CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*)
    foreach(child ${children})
        if(IS_DIRECTORY ${child} AND EXISTS ${child}/CMakeLists.txt)
            add_subdirectory(${child})
        endif()
    endforeach()
endfunction()
