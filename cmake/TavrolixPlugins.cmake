# A Qt plug-in module. The sources go in through target_sources: given inline to
# qt_add_plugin on Qt 6.4, moc never runs on them and the loader rejects the file.
#
#   tavrolix_add_plugin(<target> CLASS_NAME <root class> SOURCES <file>...)
function(tavrolix_add_plugin target)
    cmake_parse_arguments(ARG "" "CLASS_NAME" "SOURCES" ${ARGN})
    qt_add_plugin(${target} CLASS_NAME ${ARG_CLASS_NAME})
    target_sources(${target} PRIVATE ${ARG_SOURCES})
endfunction()

# A device plug-in: its root class <ROOT> and its editor <EDITOR>, each in a header and
# source pair named after it, built into the plugins/ folder beside the program. The
# target is recorded in the global property TAVROLIX_DEVICE_PLUGINS, which the tests use
# to know which plug-in files the build makes. Its texts are translated in
# translations/<target>_ru.ts.
#
#   tavrolix_add_device_plugin(<target> ROOT <class> EDITOR <class>)
function(tavrolix_add_device_plugin target)
    cmake_parse_arguments(ARG "" "ROOT;EDITOR" "" ${ARGN})
    tavrolix_add_plugin(${target} CLASS_NAME ${ARG_ROOT} SOURCES
        ${ARG_ROOT}.h ${ARG_ROOT}.cpp
        ${ARG_EDITOR}.h ${ARG_EDITOR}.cpp)
    target_link_libraries(${target} PRIVATE tavrolix_core tavrolix_devicesettings Qt6::Widgets)
    set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${TAVROLIX_PLUGIN_DIR})
    set_property(GLOBAL APPEND PROPERTY TAVROLIX_DEVICE_PLUGINS ${target})
    tavrolix_add_translation(${target})
endfunction()
