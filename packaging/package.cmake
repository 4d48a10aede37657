# The Debian package, built by CPack from an install of the whole project:
#   cmake --preset package && cmake --build --preset package && cpack --preset package

# What every Debian package carries in its documents folder.
set(zema_doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/${ZEMA_PACKAGE_NAME})
configure_file(changelog changelog COPYONLY)
zema_gzip(${CMAKE_CURRENT_BINARY_DIR}/changelog)
add_custom_target(zema-package-changelog ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz copyright DESTINATION ${zema_doc_dir})
# The dialog's F1 shows the user guide from there (console/user_guide.h).
install(FILES ${PROJECT_SOURCE_DIR}/docs/user-guide.md DESTINATION ${zema_doc_dir})
install(FILES lintian-overrides DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
  RENAME ${ZEMA_PACKAGE_NAME})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${ZEMA_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "ZEMA Data Loader developers")
set(CPACK_PACKAGE_CONTACT
  "ZEMA Data Loader maintainers <maintainers@users.noreply.c-seed-091fcb1d.example>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "copy a ZEMA sensor's setup between the sensor and files")
# The extended description: CPack indents each line and marks the empty
# one; a line that starts with a space is shown as it is. It ends with a
# line break, or CPack would strip the last line's indent.
set(CPACK_PACKAGE_DESCRIPTION [=[
Copies the setup of a ZEMA colour-vision sensor (its parameter sets, the
brightness-compensation table and the registered pattern images of its
banks) between the sensor and files on the PC over a serial (RS-232) port:
READ saves it into files, WRITE puts such files back into the same or a
replacement sensor.

The package holds three programs:
 zema-loader    the dialog program, in English, German or Japanese;
 zema-transfer  the same transfers from the command line, for scripts;
 zema-sim       a virtual sensor, to try them without hardware.
]=])
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries the programs link are found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own catalogues translate the standard buttons of the dialogs ("Ja",
# "Nein"). Without them the programs work with English buttons, so they are
# recommended (installed by default), not required.
if(ZEMA_BUILD_GUI)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)
endif()
set(CPACK_ZEMA_STRIP_COMMAND ${CMAKE_STRIP})
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/strip-programs.cmake)

include(CPack)
