# Install layout: a self-contained folder (bin/ with the programs; the desktop file, icons,
# document type, AppStream data, manual pages and shell completion under share/), and a
# Debian package built by CPack from the same rules.
include(GNUInstallDirs)
set(R770_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)
set(R770_GENERATED ${CMAKE_BINARY_DIR}/packaging)

foreach(program r770cfg r770ctl r770-sim r770-demo-db)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

# Desktop integration.
set(R770_APPSTREAM_ID ru.r770cfg.Configurator)
install(FILES ${R770_PACKAGING}/r770cfg.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${R770_PACKAGING}/r770cfg.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${R770_PACKAGING}/r770cfg.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/mimetypes
        RENAME application-x-r770-document.svg)
install(FILES ${R770_PACKAGING}/r770cfg-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME r770cfg.xml)
configure_file(${R770_PACKAGING}/${R770_APPSTREAM_ID}.metainfo.xml
               ${R770_GENERATED}/${R770_APPSTREAM_ID}.metainfo.xml @ONLY)
install(FILES ${R770_GENERATED}/${R770_APPSTREAM_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Bash completion, loaded on demand by the bash-completion package.
install(FILES ${R770_PACKAGING}/completion/r770ctl ${R770_PACKAGING}/completion/r770-sim
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# Manual pages: roff sources with the version filled in, compressed at build time.
# packaging/man/NAME.1.in is the English page, NAME.ru.1.in the Russian one.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(R770_MAN_OUTPUTS)
foreach(page r770cfg r770ctl r770-sim r770-demo-db)
  foreach(lang en ru)
    if(lang STREQUAL en)
      set(source ${R770_PACKAGING}/man/${page}.1.in)
      set(folder ${R770_GENERATED}/man/man1)
      set(destination ${CMAKE_INSTALL_MANDIR}/man1)
    else()
      set(source ${R770_PACKAGING}/man/${page}.${lang}.1.in)
      set(folder ${R770_GENERATED}/man/${lang}/man1)
      set(destination ${CMAKE_INSTALL_MANDIR}/${lang}/man1)
    endif()
    configure_file(${source} ${folder}/${page}.1 @ONLY)
    add_custom_command(OUTPUT ${folder}/${page}.1.gz
                       COMMAND ${GZIP_PROGRAM} -9nf -k ${folder}/${page}.1
                       DEPENDS ${folder}/${page}.1 VERBATIM)
    list(APPEND R770_MAN_OUTPUTS ${folder}/${page}.1.gz)
    install(FILES ${folder}/${page}.1.gz DESTINATION ${destination})
  endforeach()
endforeach()
add_custom_target(r770_man ALL DEPENDS ${R770_MAN_OUTPUTS})

# Package documents: the copyright notice and the changelog Debian expects of a package.
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/r770ctl.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${R770_PACKAGING}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The release date as a changelog wants it ("Thu, 10 Dec 2026 00:00:00 +0000"); the weekday by
# Zeller's congruence.
string(REGEX MATCH "^([0-9]+)-0?([0-9]+)-0?([0-9]+)$" _ ${R770_RELEASE_DATE})
math(EXPR _year "${CMAKE_MATCH_1}")
math(EXPR _month "${CMAKE_MATCH_2}")
math(EXPR _day "${CMAKE_MATCH_3}")
set(_y ${_year})
set(_m ${_month})
if(_m LESS 3)
  math(EXPR _m "${_m} + 12")
  math(EXPR _y "${_y} - 1")
endif()
math(EXPR _weekday "(${_day} + (13 * (${_m} + 1)) / 5 + ${_y} + ${_y} / 4 - ${_y} / 100 + ${_y} / 400) % 7")
set(_weekdays Sat Sun Mon Tue Wed Thu Fri)
list(GET _weekdays ${_weekday} _weekday_name)
math(EXPR _month_index "${_month} - 1")
set(_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(GET _months ${_month_index} _month_name)
set(R770_RELEASE_CHANGELOG_DATE "${_weekday_name}, ${_day} ${_month_name} ${_year} 00:00:00 +0000")
configure_file(${R770_PACKAGING}/changelog.in ${R770_GENERATED}/changelog @ONLY)
add_custom_command(OUTPUT ${R770_GENERATED}/changelog.gz
                   COMMAND ${GZIP_PROGRAM} -9nf -k ${R770_GENERATED}/changelog
                   DEPENDS ${R770_GENERATED}/changelog VERBATIM)
add_custom_target(r770_changelog ALL DEPENDS ${R770_GENERATED}/changelog.gz)
install(FILES ${R770_GENERATED}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME r770cfg)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "r770cfg developers <r770cfg@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configurator of the R-770 TCP/Modbus gateway module")
# The long description (English, then Russian); CPack puts the summary above it.
file(READ ${R770_PACKAGING}/description.txt CPACK_DEBIAN_PACKAGE_DESCRIPTION)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beyond the libraries the programs link: Qt's own translations, which the configurator loads
# for its Russian dialogs.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "bash-completion")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
