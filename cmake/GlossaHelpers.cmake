# glossa_add_test(<name> SOURCES <files...> LIBS <targets...> [GUI])
#
# One test executable per behaviour, registered with CTest. GUI tests run on
# the offscreen platform; the web engine needs a few more settings on a machine
# without a GPU, and as root it must run without its sandbox.
function(glossa_add_test name)
    cmake_parse_arguments(ARG "GUI" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
    target_compile_definitions(${name} PRIVATE GLOSSA_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/data")
    add_test(NAME ${name} COMMAND ${name})
    set(env "QT_QPA_PLATFORM=offscreen" "QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu --no-sandbox"
            "QTWEBENGINE_DISABLE_SANDBOX=1" "LC_ALL=C.UTF-8")
    if(GLOSSA_SANITIZE)
        # Qt's and the web engine's own allocations at exit, and a mismatched
        # delete inside the engine library, are not ours to chase.
        list(APPEND env "ASAN_OPTIONS=detect_leaks=0:new_delete_type_mismatch=0" "UBSAN_OPTIONS=print_stacktrace=1")
    endif()
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 300)
    if(ARG_GUI)
        set_tests_properties(${name} PROPERTIES LABELS gui)
    else()
        set_tests_properties(${name} PROPERTIES LABELS core)
    endif()
endfunction()

# glossa_add_benchmark(<name> SOURCES <files...> LIBS <targets...>)
function(glossa_add_benchmark name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE benchmark::benchmark ${ARG_LIBS})
endfunction()
