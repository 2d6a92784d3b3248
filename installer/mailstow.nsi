; Per-user installer of Mailstow: no administrator rights, the program folder stays writable
; (Mailstow writes English.lng, Temp\ and its logs beside itself). Built by makensis with
;   -DTARGET=<x86-unicode|amd64-unicode> -DDIST=<program folder of the build>
;   -DOUTFILE=<installer path> -DVERSION=<major.minor.release>
; Both the installer and the uninstaller run silently with /S.

Unicode true
Target "${TARGET}"
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define PRODUCT "Mailstow"
!define PROGID "Mailstow.Backup"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Mailstow"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SHORTCUT "$SMPROGRAMS\Mailstow.lnk"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Mailstow"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

!include MUI2.nsh
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\Mailstow.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The installer speaks the user's language when it is one that Mailstow ships.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"
!insertmacro MUI_LANGUAGE "Spanish"
!insertmacro MUI_LANGUAGE "French"
!insertmacro MUI_LANGUAGE "Italian"
!insertmacro MUI_LANGUAGE "Dutch"
!insertmacro MUI_LANGUAGE "PortugueseBR"
!insertmacro MUI_LANGUAGE "Portuguese"
!insertmacro MUI_LANGUAGE "Romanian"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Corvane"

; Stops a running Stowclock through the installed Mailstow (its "/uninst" run ends the scheduler,
; waits for it and deletes its program file), so that the files can be replaced or removed.
!macro StopScheduler
  IfFileExists "$INSTDIR\Mailstow.exe" 0 +2
    ExecWait '"$INSTDIR\Mailstow.exe" /uninst'
!macroend

Section "Mailstow"
  SetShellVarContext current
  ReadRegStr $R0 HKCU "${RUN_KEY}" "Stowclock"
  !insertmacro StopScheduler

  SetOutPath "$INSTDIR"
  File "${DIST}/Mailstow.exe"
  File "${DIST}/Stowclock.exe"
  File "${DIST}/Sqx.dll"
  File "${DIST}/*.lng"
  File "${DIST}/help.html"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  CreateShortCut "${SHORTCUT}" "$INSTDIR\Mailstow.exe" "" "$INSTDIR\Mailstow.exe" 0

  ; A double-clicked archive opens the restore wizard on that archive.
  WriteRegStr HKCU "Software\Classes\.ebk" "" "${PROGID}"
  WriteRegStr HKCU "Software\Classes\${PROGID}" "" "Mailstow backup"
  WriteRegStr HKCU "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\Mailstow.exe,0"
  WriteRegStr HKCU "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\Mailstow.exe" "%1"'
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Mailstow.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1

  ; With automatic backup switched on, the scheduler stopped above runs again at once rather
  ; than only from the next logon.
  StrCmp $R0 "" +2
    Exec '"$INSTDIR\Stowclock.exe"'
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  !insertmacro StopScheduler

  Delete "$INSTDIR\Mailstow.exe"
  Delete "$INSTDIR\Stowclock.exe"
  Delete "$INSTDIR\Sqx.dll"
  Delete "$INSTDIR\*.lng"
  Delete "$INSTDIR\help.html"
  Delete "$INSTDIR\Log.txt"
  Delete "$INSTDIR\AutoLog.txt"
  RMDir /r "$INSTDIR\Temp"
  Delete "$INSTDIR\Uninstall.exe"
  ; Not recursive: anything the user put into the folder (an archive, say) stays, and so does
  ; the folder then.
  RMDir "$INSTDIR"

  Delete "${SHORTCUT}"

  ; The ".ebk" type is removed only while it still belongs to Mailstow.
  ReadRegStr $R0 HKCU "Software\Classes\.ebk" ""
  StrCmp $R0 "${PROGID}" 0 +2
    DeleteRegKey HKCU "Software\Classes\.ebk"
  DeleteRegKey HKCU "Software\Classes\${PROGID}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  ; The scheduler's start at logon; an older machine-wide value is removed where rights allow.
  DeleteRegValue HKCU "${RUN_KEY}" "Stowclock"
  SetRegView 32
  DeleteRegValue HKLM "${RUN_KEY}" "Stowclock"
  SetRegView 64
  DeleteRegValue HKLM "${RUN_KEY}" "Stowclock"
  SetRegView default

  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
