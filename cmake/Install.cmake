# Install layout: a self-contained folder (bin/ with the programs, the desktop file and the
# icon under share/), and a Debian package built by CPack from the same rules.
include(GNUInstallDirs)
foreach(program r770cfg r770ctl r770-sim r770-demo-db)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/r770cfg.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/r770cfg.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/r770ctl.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME r770cfg)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "r770cfg maintainers <r770cfg@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configurator of the R-770 TCP/Modbus gateway module")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own dialogs and context menus in Russian.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-translations-l10n)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
