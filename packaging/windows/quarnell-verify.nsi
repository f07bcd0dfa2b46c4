; The Windows installer of Quarnell Verify: both programs, the README, the manual pages and the
; licence as text, a Start-menu shortcut to the window, the right-click verbs and the .qn file type
; for every user, qnverify.exe on the system's PATH when that component is kept, and an Add/Remove
; Programs entry. The uninstaller takes all of it back, and also the registry values the window
; writes at start-up.
;
; Built by scripts/package-windows, which defines VERSION, STAGE (the folder holding the files to
; install) and OUTFILE.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!ifndef VERSION | STAGE | OUTFILE
  !error "makensis -DVERSION=... -DSTAGE=... -DOUTFILE=... (scripts/package-windows sets them)"
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh

!define PRODUCT "Quarnell Verify"
!define PUBLISHER "Quarnell Verify developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\QuarnellVerify"
!define RESOURCE_TYPE "Quarnell Resource File"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"
!define ENVIRONMENT_KEY "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
; A PATH this long may have been cut short when read: it is then left as it is.
!define /math PATH_LIMIT ${NSIS_MAX_STRLEN} - 2
!define ICON_FILE "${STAGE}\quarnell-verify.ico"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
; The programs go under Program Files and the right-click verbs under HKLM: a per-machine install.
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "LegalCopyright" "See copyright.txt"

!define MUI_ICON "${ICON_FILE}"
!define MUI_UNICON "${ICON_FILE}"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT}"
!define MUI_FINISHPAGE_RUN_FUNCTION StartWindow
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

; The installer runs elevated; the window is started through the shell instead, as the user who
; is logged on, so that it is not elevated itself.
Function StartWindow
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\quarnell-verify.exe"'
FunctionEnd

; $0: a PATH. Gives $2: the same PATH without its first entry that names $INSTDIR (letter case
; aside), every other entry and separator kept; $3: 1 when there was one, else 0.
!macro PATH_WITHOUT_INSTDIR UN
Function ${UN}PathWithoutInstdir
  StrCpy $2 ""
  StrCpy $3 0
  StrCpy $4 $0
  StrCpy $R0 0  ; entries put into $2
  next_entry:
    StrCpy $5 0
    find_end:
      StrCpy $6 $4 1 $5
      StrCmp $6 "" entry_found
      StrCmp $6 ";" entry_found
      IntOp $5 $5 + 1
      Goto find_end
    entry_found:
    StrCpy $7 $4 $5
    ${If} $3 == 0
    ${AndIf} $7 == $INSTDIR
      StrCpy $3 1
    ${Else}
      ${If} $R0 == 0
        StrCpy $2 $7
      ${Else}
        StrCpy $2 "$2;$7"
      ${EndIf}
      IntOp $R0 $R0 + 1
    ${EndIf}
    StrCmp $6 "" path_done
    IntOp $5 $5 + 1
    StrCpy $4 $4 "" $5
    Goto next_entry
  path_done:
FunctionEnd
!macroend
!insertmacro PATH_WITHOUT_INSTDIR ""
!insertmacro PATH_WITHOUT_INSTDIR "un."

Section "-Programs"
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
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  ; The right-click verb on .mp3 and .jpg files and the checksum files' type, for every user: the
  ; values a start of the window writes, which a start without an administrator's rights cannot.
  WriteRegStr HKLM "Software\Classes\SystemFileAssociations\.mp3\Shell\${PRODUCT}\command" "" "$INSTDIR\quarnell-verify.exe %1"
  WriteRegStr HKLM "Software\Classes\SystemFileAssociations\.jpg\Shell\${PRODUCT}\command" "" "$INSTDIR\quarnell-verify.exe %1"
  WriteRegStr HKLM "Software\Classes\.qn" "" "${RESOURCE_TYPE}"
  WriteRegStr HKLM "Software\Classes\${RESOURCE_TYPE}" "FriendlyTypeName" "${RESOURCE_TYPE}"
  WriteRegStr HKLM "Software\Classes\${RESOURCE_TYPE}\DefaultIcon" "" "$INSTDIR\quarnell-verify.exe,0"
  WriteRegStr HKLM "Software\Classes\${RESOURCE_TYPE}\shell\open\command" "" "$INSTDIR\quarnell-verify.exe %1"
SectionEnd

Section "Put qnverify.exe on PATH"
  ReadRegStr $0 HKLM "${ENVIRONMENT_KEY}" "Path"
  StrLen $1 $0
  StrLen $2 $INSTDIR
  IntOp $1 $1 + $2
  ${If} $1 >= ${PATH_LIMIT}
    DetailPrint "PATH is too long to be changed here; add $INSTDIR to it yourself."
    Return
  ${EndIf}
  Call PathWithoutInstdir
  ; Already there: the uninstaller leaves it, as it was not ours.
  StrCmp $3 1 path_done
  ${If} $0 == ""
    StrCpy $0 $INSTDIR
  ${Else}
    StrCpy $1 $0 1 -1
    ${If} $1 == ";"
      StrCpy $0 "$0$INSTDIR"
    ${Else}
      StrCpy $0 "$0;$INSTDIR"
    ${EndIf}
  ${EndIf}
  WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "AddedToPath" 1
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
  path_done:
SectionEnd

Section "Uninstall"
  ; The PATH entry only when this installer added it, and nothing else of PATH.
  ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "AddedToPath"
  ${If} $0 == 1
    ReadRegStr $0 HKLM "${ENVIRONMENT_KEY}" "Path"
    StrLen $1 $0
    ${If} $1 < ${PATH_LIMIT}
      Call un.PathWithoutInstdir
      ${If} $3 == 1
        WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" $2
        SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
      ${EndIf}
    ${EndIf}
  ${EndIf}

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

  ; The checksum files' type for every user; .qn only while it still names our type.
  DeleteRegKey HKLM "Software\Classes\${RESOURCE_TYPE}"
  ReadRegStr $0 HKLM "Software\Classes\.qn" ""
  StrCmp $0 "${RESOURCE_TYPE}" 0 qn_machine_done
    DeleteRegValue HKLM "Software\Classes\.qn" ""
    DeleteRegKey /ifnosubkeys /ifnovalues HKLM "Software\Classes\.qn"
  qn_machine_done:

  ; What the installer and the window at every start without an argument register: the
  ; right-click verb on .mp3 and .jpg files for every user, and the checksum files' type for the
  ; user who started it.
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
