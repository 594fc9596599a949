# A test program, run headless under CTest from tests/bin.
#
#   tavrolix_add_test(<name> SOURCES <file>... [LIBS <lib>...] [PLUGINS <target>...]
#                     [TIMEOUT <seconds>])
#
# PLUGINS names the device plug-ins the test loads from the build's plugins/ folder
# (TAVROLIX_PLUGIN_DIR in the test's code); they are built before the test.
function(tavrolix_add_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;PLUGINS" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
    set_target_properties(${name} PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/bin)
    if(ARG_PLUGINS)
        target_compile_definitions(${name} PRIVATE
            TAVROLIX_PLUGIN_DIR="${TAVROLIX_PLUGIN_DIR}")
        add_dependencies(${name} ${ARG_PLUGINS})
    endif()
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_FORCE_STDERR_LOGGING=1")
endfunction()
