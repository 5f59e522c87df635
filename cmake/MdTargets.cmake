# Helpers that give every subsystem the same shape: one static library per
# code folder, its tests in tests/<folder>/, its headers reached as
# "<folder>/<header>.h" from the project root.

# md_add_library(<target> DEPS <targets...>)
# Builds every .cpp of the current folder (and its generated/ subfolder).
function(md_add_library target)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS
        "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp"
        "${CMAKE_CURRENT_SOURCE_DIR}/generated/*.cpp")
    if(sources)
        add_library(${target} STATIC ${sources})
        target_include_directories(${target} PUBLIC "${PROJECT_SOURCE_DIR}")
        target_link_libraries(${target} PUBLIC ${ARG_DEPS})
    else()
        add_library(${target} INTERFACE)
        target_include_directories(${target} INTERFACE "${PROJECT_SOURCE_DIR}")
        target_link_libraries(${target} INTERFACE ${ARG_DEPS})
    endif()
endfunction()

# md_add_tests(<name> DEPS <targets...> [ALONE <files...>])
# One test executable for every .cpp of the current tests folder, run from
# the project root so that tests can reach gamedata/ and their fixtures by
# relative path.
#
# Test files spend most of their compile time parsing the same headers, so
# they are compiled eight to a unit: the build takes well under half the
# time. Names at file scope of a test file therefore live beside those of
# its neighbours: keep them distinct within a folder, or list the file under
# ALONE to compile it by itself.
function(md_add_tests name)
    cmake_parse_arguments(ARG "" "" "DEPS;ALONE" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
    if(NOT sources)
        return()
    endif()
    add_executable(${name} ${sources})
    set_target_properties(${name} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
    foreach(file ${ARG_ALONE})
        set_source_files_properties("${CMAKE_CURRENT_SOURCE_DIR}/${file}" PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
    endforeach()
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        # A fixture in an anonymous namespace is fine in a test file; in a
        # unit of several files GCC would take it for a header's.
        target_compile_options(${name} PRIVATE -Wno-subobject-linkage)
    endif()
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main)
    target_compile_definitions(${name} PRIVATE MD_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    # Test files are mostly expanded assertion macros: at -O2 with full debug
    # information they take over twice as long to compile, for nothing the
    # tests find. -O1 with line tables keeps backtraces readable. Under the
    # sanitizers the libraries keep their -O1 and the test files, whose own
    # work is small, compile unoptimised in half the time. (A Debug build
    # keeps its own level.)
    if(MD_SANITIZE OR MD_FUZZ)
        target_compile_options(${name} PRIVATE -O0)
    elseif(CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
        target_compile_options(${name} PRIVATE -O1 -g1)
    endif()
    # Each executable runs as four shards rather than a process per test
    # case: starting a process (and, under the sanitizers, its runtime) costs
    # more than most cases. Run one case with --gtest_filter.
    set(shards 4)
    math(EXPR last "${shards} - 1")
    foreach(index RANGE ${last})
        add_test(NAME ${name}.${index} COMMAND ${name} WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}")
        set_tests_properties(${name}.${index} PROPERTIES ENVIRONMENT
                             "GTEST_TOTAL_SHARDS=${shards};GTEST_SHARD_INDEX=${index}")
    endforeach()
endfunction()
