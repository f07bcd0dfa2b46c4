; The Windows installer of Quarnell Verify: both programs, the README, the manual pages and the
; licence as text, a Start-menu shortcut to the window and an Add/Remove Programs entry, for every
; user of the machine. The uninstaller also removes the registry values the window writes at start-up.
;
; Built by scripts/package-windows, which defines VERSION, STAGE (the folder holding the files to
; install) and OUTFILE.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!ifndef VERSION | STAGE | OUTFILE
  !error "makensis -DVERSION=... -DSTAGE=... -DOUTFILE=... (scripts/package-windows sets them)"
!endif

!define PRODUCT "Quarnell Verify"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\QuarnellVerify"
!define RESOURCE_TYPE "Quarnell Resource File"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
; The programs go under Program Files and the right-click verbs under HKLM: a per-machine install.
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "LegalCopyright" "See copyright.txt"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  File "${STAGE}\qnverify.exe"
  File "${STAGE}\quarnell-verify.exe"
  File "${STAGE}\README.txt"
  File "${STAGE}\qnverify.txt"
  File "${STAGE}\quarnell-verify.txt"
  File "${STAGE}\copyright.txt"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  CreateShortcut "${SHORTCUT}" "$INSTDIR\quarnell-verify.exe" "" "$INSTDIR\quarnell-verify.exe" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quarnell-verify.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  Delete "$INSTDIR\qnverify.exe"
  Delete "$INSTDIR\quarnell-verify.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\qnverify.txt"
  Delete "$INSTDIR\quarnell-verify.txt"
  Delete "$INSTDIR\copyright.txt"
  Delete "$INSTDIR\Uninstall.exe"
  ; The report both programs write beside themselves; a newer one is written at every run.
  Delete "$INSTDIR\Quarnell Verify.txt"
  ; Anything else the user put there stays, and with it the folder.
  RMDir "$INSTDIR"
  Delete "${SHORTCUT}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ; What the window registers at every start without an argument: the right-click verb on .mp3 and
  ; .jpg files for every user, and the checksum files' type for the user who started it.
  DeleteRegKey HKLM "SOFTWARE\Classes\SystemFileAssociations\.mp3\Shell\${PRODUCT}"
  DeleteRegKey HKLM "SOFTWARE\Classes\SystemFileAssociations\.jpg\Shell\${PRODUCT}"
  DeleteRegKey /ifnosubkeys /ifnovalues HKLM "SOFTWARE\Classes\SystemFileAssociations\.mp3\Shell"
  DeleteRegKey /ifnosubkeys /ifnovalues HKLM "SOFTWARE\Classes\SystemFileAssociations\.jpg\Shell"
  DeleteRegKey HKCU "Software\Classes\${RESOURCE_TYPE}"
  ; .qn is ours only while it still names our type: another program may have taken it since.
  ReadRegStr $0 HKCU "Software\Classes\.qn" ""
  StrCmp $0 "${RESOURCE_TYPE}" 0 qn_done
    DeleteRegValue HKCU "Software\Classes\.qn" ""
    DeleteRegKey /ifnosubkeys /ifnovalues HKCU "Software\Classes\.qn"
  qn_done:
SectionEnd
