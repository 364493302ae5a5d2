# The Windows installer (cpack -G NSIS in build/windows): the two console programs in the
# install folder, the README as text, a Start-menu entry that opens a console there, and an
# uninstaller. A 64-bit installer (Target amd64-unicode), so wine64 alone can run it.
install(TARGETS quillon-updater quillon-tool RUNTIME DESTINATION .)
# Text with Windows line ends, readable in Notepad.
file(READ ${PROJECT_SOURCE_DIR}/README.md quillon_readme)
string(REPLACE "\n" "\r\n" quillon_readme "${quillon_readme}")
file(WRITE ${PROJECT_BINARY_DIR}/README.txt "${quillon_readme}")
install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION .)

set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME QuillonCodeUpdater)
set(CPACK_PACKAGE_VERSION 1.4.8)
set(CPACK_PACKAGE_VENDOR Quillon)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Firmware updater for two-way radios, with codeplug backup and conversion")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Quillon Code Updater")
set(CPACK_PACKAGE_FILE_NAME "QuillonCodeUpdater-1.4.8-win64")
set(CPACK_NSIS_PACKAGE_NAME "Quillon Code Updater")
set(CPACK_NSIS_DISPLAY_NAME "Quillon Code Updater")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_STRIP_FILES ON)
set(CPACK_NSIS_CREATE_ICONS_EXTRA
    "CreateShortCut '$SMPROGRAMS\\\\$STARTMENU_FOLDER\\\\Quillon Code Updater console.lnk' '$SYSDIR\\\\cmd.exe' '/k cd /d \"$INSTDIR\"' '$SYSDIR\\\\cmd.exe' 0
  CreateShortCut '$SMPROGRAMS\\\\$STARTMENU_FOLDER\\\\README.lnk' '$INSTDIR\\\\README.txt'")
set(CPACK_NSIS_DELETE_ICONS_EXTRA
    "Delete '$SMPROGRAMS\\\\$MUI_TEMP\\\\Quillon Code Updater console.lnk'
  Delete '$SMPROGRAMS\\\\$MUI_TEMP\\\\README.lnk'")
include(CPack)
