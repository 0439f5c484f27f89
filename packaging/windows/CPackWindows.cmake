# The Windows packages: an NSIS installer (cpack -G NSIS) and a portable zip
# (cpack -G ZIP), both of the folder that packaging/windows lays out.
set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_INSTALL_DIRECTORY freqrelay)
# The project's NSIS.template.in, CPack's own with the changes it marks.
list(PREPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})
# The Start-menu shortcut is made by the template: CPack's own would point
# into a bin folder that the program does not have.
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_BINARY_DIR}/packaging/windows/texts/LICENSE.txt)  # the licence page
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME freqrelay)
set(CPACK_NSIS_DISPLAY_NAME "freqrelay ${PROJECT_VERSION}")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/packaging/windows/freqrelay.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/packaging/windows/freqrelay.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME freqrelay.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
set(CPACK_SYSTEM_NAME win64)
# A 64-bit installer, like the program: it runs where the program runs.
# A file that cannot be written (a program in use) ends the install instead
# of being skipped, which in silent mode would report success.
set(CPACK_NSIS_DEFINES "  Target amd64-unicode\n  AllowSkipFiles off")
