# Desktop integration files for `cmake --install`: the desktop entry that opens .qn files, the
# right-click "Quarnell Verify" of Dolphin (service menu) and Nemo (action) for .mp3, .jpg, .qn
# files and folders, the mime package that defines the .qn type, and the icon. Nothing claims the
# audio or image types. Nautilus has no system-wide scripts folder: its entry is written per user
# when the window starts. The programs themselves are installed by the main list file.
include(GNUInstallDirs)

set(QN_DESKTOP_DIR "${CMAKE_CURRENT_LIST_DIR}/../ui/desktop")
set(QN_ICON_DIR "${CMAKE_CURRENT_LIST_DIR}/../ui/icons")

install(FILES "${QN_DESKTOP_DIR}/quarnell-verify.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${QN_DESKTOP_DIR}/quarnell-verify-servicemenu.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/kio/servicemenus"
        RENAME quarnell-verify.desktop
        PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                    WORLD_READ WORLD_EXECUTE)
install(FILES "${QN_DESKTOP_DIR}/quarnell-verify.nemo_action"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/nemo/actions")
install(FILES "${QN_DESKTOP_DIR}/quarnell-verify.xml"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/mime/packages")
install(FILES "${QN_ICON_DIR}/quarnell-verify.svg"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
install(FILES "${QN_ICON_DIR}/quarnell-verify-48.png"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps"
        RENAME quarnell-verify.png)

# Installing straight into a prefix (not into a staging DESTDIR for a package): refresh the
# desktop's caches there when the tools are present. A failure here does not fail the install.
set(QN_DATADIR "${CMAKE_INSTALL_DATADIR}")
set(qn_refresh_code [[
  if("$ENV{DESTDIR}" STREQUAL "")
    set(qn_share "${CMAKE_INSTALL_PREFIX}/@QN_DATADIR@")
    find_program(qn_update_mime update-mime-database)
    find_program(qn_update_desktop update-desktop-database)
    if(qn_update_mime)
      execute_process(COMMAND "${qn_update_mime}" "${qn_share}/mime"
                      RESULT_VARIABLE qn_ignored OUTPUT_QUIET ERROR_QUIET)
    endif()
    if(qn_update_desktop)
      execute_process(COMMAND "${qn_update_desktop}" "${qn_share}/applications"
                      RESULT_VARIABLE qn_ignored OUTPUT_QUIET ERROR_QUIET)
    endif()
  endif()
]])
string(CONFIGURE "${qn_refresh_code}" qn_refresh_code @ONLY)
install(CODE "${qn_refresh_code}")
