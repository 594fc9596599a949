# The Russian translation of a target's tr() texts: translations/<target>_ru.ts in the
# source tree, built into <target>_ru.qm in the translations/ folder beside the program,
# where Translations::install() finds it. `update_translations` refreshes every .ts from
# the sources; `release_translations` builds every .qm.
#
#   tavrolix_add_translation(<target>)
set(TAVROLIX_TRANSLATIONS_SOURCE_DIR ${PROJECT_SOURCE_DIR}/translations)
set(TAVROLIX_TRANSLATIONS_BUILD_DIR ${TAVROLIX_BIN_DIR}/translations)

function(tavrolix_add_translation target)
    set(ts ${TAVROLIX_TRANSLATIONS_SOURCE_DIR}/${target}_ru.ts)
    set_source_files_properties(${ts} PROPERTIES
        OUTPUT_LOCATION ${TAVROLIX_TRANSLATIONS_BUILD_DIR})
    # No source locations in the .ts: a moved line would otherwise change the file.
    qt_add_translations(${target}
        TS_FILES ${ts}
        LUPDATE_OPTIONS -locations none
        QM_FILES_OUTPUT_VARIABLE qm_files)
    set_property(GLOBAL APPEND PROPERTY TAVROLIX_QM_FILES ${qm_files})
endfunction()
