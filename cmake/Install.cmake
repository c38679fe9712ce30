# What `cmake --install` lays out besides the two programs: the desktop integration, the manual
# pages made from the programs' own help, the shell completions, the icons and the licence.
include(GNUInstallDirs)

find_program(TARVIK_HELP2MAN help2man REQUIRED)
find_program(TARVIK_RSVG_CONVERT rsvg-convert REQUIRED)
find_program(TARVIK_GZIP gzip REQUIRED)

set(TARVIK_PACKAGE_SOURCE ${PROJECT_SOURCE_DIR}/resources/package)
set(TARVIK_PACKAGE_BINARY ${PROJECT_BINARY_DIR}/package)
set(TARVIK_APP_ID app.tarvik.tarvik)

# "Launch at login" copies this entry, so that it starts the installed program. It is written at
# install time: the prefix given to `cmake --install --prefix` is the one the program lands in.
install(CODE "
    set(TARVIK_INSTALLED_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
    if(NOT IS_ABSOLUTE \"\${TARVIK_INSTALLED_BINDIR}\")
        set(TARVIK_INSTALLED_BINDIR \"\${CMAKE_INSTALL_PREFIX}/\${TARVIK_INSTALLED_BINDIR}\")
    endif()
    set(entry \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/tarvik/tarvik-autostart.desktop\")
    message(STATUS \"Installing: \${entry}\")
    configure_file(\"${TARVIK_PACKAGE_SOURCE}/tarvik-autostart.desktop.in\" \"\${entry}\" @ONLY)
")

configure_file(${TARVIK_PACKAGE_SOURCE}/${TARVIK_APP_ID}.metainfo.xml.in
               ${TARVIK_PACKAGE_BINARY}/${TARVIK_APP_ID}.metainfo.xml @ONLY)
install(FILES ${TARVIK_PACKAGE_BINARY}/${TARVIK_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The manual pages are written from --help and --version at build time, so they never drift from
# the programs. A sanitizer build must not fail on what the help's exit leaves allocated.
set(TARVIK_MANUALS "")
foreach(program tarvik tarvik-app)
    set(page ${TARVIK_PACKAGE_BINARY}/${program}.1)
    set(include ${TARVIK_PACKAGE_SOURCE}/${program}.h2m)
    # The command line's plain help names the commands only; the page shows their options too.
    set(help --help)
    if(program STREQUAL "tarvik")
        set(help --help-all)
    endif()
    add_custom_command(
        OUTPUT ${page}.gz
        COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen
                ${TARVIK_HELP2MAN} --no-info --section=1 --help-option=${help} --include=${include}
                --output=${page} $<TARGET_FILE:${program}>
        COMMAND ${TARVIK_GZIP} -9nf ${page}
        DEPENDS ${program} ${include}
        COMMENT "Writing the manual page ${program}(1)"
        VERBATIM)
    list(APPEND TARVIK_MANUALS ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

set(TARVIK_ICON ${PROJECT_SOURCE_DIR}/resources/tarvik.svg)
set(TARVIK_ICONS "")
foreach(size 16 22 24 32 48 64 128 256)
    set(png ${TARVIK_PACKAGE_BINARY}/icons/${size}x${size}/tarvik.png)
    add_custom_command(
        OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${TARVIK_PACKAGE_BINARY}/icons/${size}x${size}
        COMMAND ${TARVIK_RSVG_CONVERT} --width=${size} --height=${size} --output=${png} ${TARVIK_ICON}
        DEPENDS ${TARVIK_ICON}
        VERBATIM)
    list(APPEND TARVIK_ICONS ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# bash and fish load a completion by the command's name; one file serves both programs.
foreach(program tarvik tarvik-app)
    install(FILES ${TARVIK_PACKAGE_SOURCE}/completions/tarvik.bash
            DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME ${program})
    install(FILES ${TARVIK_PACKAGE_SOURCE}/completions/tarvik.fish
            DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d RENAME ${program}.fish)
endforeach()
install(FILES ${TARVIK_PACKAGE_SOURCE}/completions/_tarvik DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)

# Debian's documentation folder: the licence in its machine-readable form and the changelog.
configure_file(${TARVIK_PACKAGE_SOURCE}/changelog.in ${TARVIK_PACKAGE_BINARY}/changelog @ONLY)
add_custom_command(
    OUTPUT ${TARVIK_PACKAGE_BINARY}/changelog.gz
    COMMAND ${TARVIK_GZIP} -9nkf ${TARVIK_PACKAGE_BINARY}/changelog
    DEPENDS ${TARVIK_PACKAGE_BINARY}/changelog
    VERBATIM)
install(FILES ${TARVIK_PACKAGE_SOURCE}/copyright ${TARVIK_PACKAGE_BINARY}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tarvik)

add_custom_target(tarvik_install_files ALL DEPENDS ${TARVIK_MANUALS} ${TARVIK_ICONS} ${TARVIK_PACKAGE_BINARY}/changelog.gz)
