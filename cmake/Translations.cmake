# The interface's translations. The template tarvik.ts, in the build's translations/ folder, holds
# every text that src/ui and src/app put through tr(); translators start a language from it. The
# languages done live in resources/translations/tarvik_<language>.ts, and each is compiled into
# a .qm that the app loads from share/tarvik/translations.
include(GNUInstallDirs)

find_program(TARVIK_LUPDATE lupdate HINTS /usr/lib/qt6/bin)
find_program(TARVIK_LRELEASE lrelease HINTS /usr/lib/qt6/bin)
set(TARVIK_TRANSLATIONS_BINARY ${PROJECT_BINARY_DIR}/translations)

if(TARVIK_LUPDATE)
    set(TARVIK_TRANSLATED_SOURCES "")
    foreach(target tarvik_ui tarvik_shell tarvik-app)
        get_target_property(sources ${target} SOURCES)
        get_target_property(folder ${target} SOURCE_DIR)
        foreach(source ${sources})
            cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${folder})
            if(source MATCHES "^${PROJECT_SOURCE_DIR}/src/.*\\.(cpp|hpp)$")
                list(APPEND TARVIK_TRANSLATED_SOURCES ${source})
            endif()
        endforeach()
    endforeach()
    list(REMOVE_DUPLICATES TARVIK_TRANSLATED_SOURCES)
    # The file list goes through a file of its own: the command line stays short, and the template
    # is written again only when a source or the list changes.
    set(list_file ${TARVIK_TRANSLATIONS_BINARY}/sources.lst)
    list(JOIN TARVIK_TRANSLATED_SOURCES "\n" listed)
    file(CONFIGURE OUTPUT ${list_file} CONTENT "${listed}\n")
    # -I lets lupdate follow the project's includes to the classes, so that each text lands in the
    # context that tr() uses at run time (tarvik::ui::ServerRow, not ServerRow).
    add_custom_command(
        OUTPUT ${TARVIK_TRANSLATIONS_BINARY}/tarvik.ts
        COMMAND ${TARVIK_LUPDATE} -silent -no-obsolete -I ${PROJECT_SOURCE_DIR}/src
                @${list_file} -ts ${TARVIK_TRANSLATIONS_BINARY}/tarvik.ts
        DEPENDS ${TARVIK_TRANSLATED_SOURCES} ${list_file}
        COMMENT "Writing the translation template tarvik.ts"
        VERBATIM)
    add_custom_target(tarvik_translation_template ALL DEPENDS ${TARVIK_TRANSLATIONS_BINARY}/tarvik.ts)
else()
    message(STATUS "lupdate not found (scripts/setup installs qt6-l10n-tools): no translation template")
endif()

file(GLOB TARVIK_TRANSLATIONS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/translations/tarvik_*.ts)
if(TARVIK_TRANSLATIONS AND NOT TARVIK_LRELEASE)
    message(STATUS "lrelease not found (scripts/setup installs qt6-l10n-tools): the translations are left out")
elseif(TARVIK_TRANSLATIONS)
    set(compiled "")
    foreach(translation ${TARVIK_TRANSLATIONS})
        get_filename_component(name ${translation} NAME_WE)
        set(qm ${TARVIK_TRANSLATIONS_BINARY}/${name}.qm)
        add_custom_command(
            OUTPUT ${qm}
            COMMAND ${TARVIK_LRELEASE} -silent ${translation} -qm ${qm}
            DEPENDS ${translation}
            VERBATIM)
        list(APPEND compiled ${qm})
    endforeach()
    add_custom_target(tarvik_translations ALL DEPENDS ${compiled})
    # Only languages that exist are installed, so that the package has no empty folder.
    install(FILES ${compiled} DESTINATION ${CMAKE_INSTALL_DATADIR}/tarvik/translations)
endif()
