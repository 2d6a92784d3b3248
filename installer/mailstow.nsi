; Per-user installer of Mailstow: no administrator rights, the program folder stays writable
; (Mailstow writes English.lng, Temp\ and its logs beside itself). Built by makensis with
;   -DTARGET=<x86-unicode|amd64-unicode> -DDIST=<program folder of the build>
;   -DOUTFILE=<installer path> -DVERSION=<major.minor.release> -DVERSION_MAJOR=<n>
;   -DVERSION_MINOR=<n> -DSHIPPED=<the build's list of shipped files>
; Both the installer and the uninstaller run silently with /S. Exit code 2: stopped because
; Mailstow still runs from the program folder, or a program file could not be removed.

Unicode true
Target "${TARGET}"
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define PRODUCT "Mailstow"
!define COMPANY "Corvane"
!define PROGID "Mailstow.Backup"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Mailstow"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SETTINGS_KEY "Software\Corvane\Mailstow"
!define SHORTCUT "$SMPROGRAMS\Mailstow.lnk"
; The type a per-user ".ebk" named before Mailstow took it over, restored at uninstall.
!define PREVIOUS_TYPE "PreviousEbkType"

!include "${SHIPPED}"
!include LogicLib.nsh
!include FileFunc.nsh

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Mailstow"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

!include MUI2.nsh
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_WELCOME
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CompleteInstallFolder
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\Mailstow.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

; The installer speaks the user's language when it is one that Mailstow ships. Its own texts
; are English until translated.
!macro Language NAME
  !insertmacro MUI_LANGUAGE "${NAME}"
  LangString ProgramRunning ${LANG_${NAME}} \
    "Mailstow is running from $INSTDIR.$\r$\n$\r$\nClose it, or wait until its backup has ended, then click Retry."
  LangString SchedulerRunning ${LANG_${NAME}} \
    "The Mailstow scheduler (Stowclock.exe) in $INSTDIR could not be stopped.$\r$\n$\r$\nEnd it, then click Retry."
  LangString FilesStay ${LANG_${NAME}} \
    "Some program files in $INSTDIR could not be removed; Mailstow stays installed."
  LangString RemoveSettings ${LANG_${NAME}} "Also remove my settings"
!macroend
!insertmacro Language "English"
!insertmacro Language "German"
!insertmacro Language "Spanish"
!insertmacro Language "French"
!insertmacro Language "Italian"
!insertmacro Language "Dutch"
!insertmacro Language "PortugueseBR"
!insertmacro Language "Portuguese"
!insertmacro Language "Romanian"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "${COMPANY}"

; Sets $R9 to 1 when the file $R8 is in use: the file of a running program cannot be opened
; for writing.
!macro FileInUseFunction UN
Function ${UN}FileInUse
  StrCpy $R9 0
  ${If} ${FileExists} "$R8"
    ClearErrors
    FileOpen $R7 "$R8" a
    ${If} ${Errors}
      StrCpy $R9 1
    ${Else}
      FileClose $R7
    ${EndIf}
  ${EndIf}
FunctionEnd
!macroend

; Makes sure that nothing runs from the program folder before its files are replaced or
; removed. A running wizard or scheduled backup is left to the user to close; Stowclock is
; stopped through the installed Mailstow (its "/uninst" run ends the scheduler, waits for it and
; deletes its program file). Silently, or when the user cancels, setup stops with exit code 2.
!macro CloseRunningProgramsFunction UN
Function ${UN}CloseRunningPrograms
  retry:
  StrCpy $R8 "$INSTDIR\Mailstow.exe"
  Call ${UN}FileInUse
  ${If} $R9 == 1
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(ProgramRunning)" /SD IDCANCEL IDRETRY retry
    SetErrorLevel 2
    Abort
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\Mailstow.exe"
    ExecWait '"$INSTDIR\Mailstow.exe" /uninst'
  ${EndIf}
  StrCpy $R8 "$INSTDIR\Stowclock.exe"
  Call ${UN}FileInUse
  ${If} $R9 == 1
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(SchedulerRunning)" /SD IDCANCEL IDRETRY retry
    SetErrorLevel 2
    Abort
  ${EndIf}
FunctionEnd
!macroend

!insertmacro FileInUseFunction ""
!insertmacro FileInUseFunction "un."
!insertmacro CloseRunningProgramsFunction ""
!insertmacro CloseRunningProgramsFunction "un."

; A folder the user chose gets a "Mailstow" sub-folder, unless it is one already or holds an
; installed Mailstow: the uninstaller then never meets a folder that is not the program's own
; (installing into %LOCALAPPDATA% itself must not make its Temp folder the program's).
Function CompleteInstallFolder
  StrCpy $R0 "$INSTDIR" 1 -1
  ${If} $R0 == "\"
    StrCpy $INSTDIR "$INSTDIR" -1
  ${EndIf}
  ${GetFileName} "$INSTDIR" $R0
  StrCpy $R1 0
  ${If} ${FileExists} "$INSTDIR\Mailstow.exe"
  ${AndIf} ${FileExists} "$INSTDIR\Uninstall.exe"
    StrCpy $R1 1
  ${EndIf}
  ; StrCmp, and so "!=", ignores letter case.
  ${If} $R0 != "Mailstow"
  ${AndIf} $R1 == 0
    StrCpy $INSTDIR "$INSTDIR\Mailstow"
  ${EndIf}
FunctionEnd

; The type other than Mailstow's that opens ".ebk" now, in $R0; "" when there is none. A type
; counts only while it is described (a name, or keys such as its open command).
Function EbkOwner
  ReadRegStr $R0 HKCU "Software\Classes\.ebk" ""
  ${If} $R0 == ""
    ReadRegStr $R0 HKLM "Software\Classes\.ebk" ""
  ${EndIf}
  ${If} $R0 == "${PROGID}"
    StrCpy $R0 ""
  ${ElseIf} $R0 != ""
    ReadRegStr $R1 HKCU "Software\Classes\$R0" ""
    EnumRegKey $R2 HKCU "Software\Classes\$R0" 0
    ReadRegStr $R3 HKLM "Software\Classes\$R0" ""
    EnumRegKey $R4 HKLM "Software\Classes\$R0" 0
    ${If} "$R1$R2$R3$R4" == ""
      StrCpy $R0 ""
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Mailstow" SecProgram
  SetShellVarContext current
  Call CompleteInstallFolder
  ReadRegStr $R0 HKCU "${RUN_KEY}" "Stowclock"
  Push $R0
  Call CloseRunningPrograms

  SetOutPath "$INSTDIR"
  !insertmacro InstallShippedFiles
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  CreateShortCut "${SHORTCUT}" "$INSTDIR\Mailstow.exe" "" "$INSTDIR\Mailstow.exe" 0

  ; A double-clicked archive opens the restore wizard on that archive. Mailstow is offered for
  ; ".ebk" always, and becomes its default only when no other program has it.
  WriteRegStr HKCU "Software\Classes\${PROGID}" "" "Mailstow backup"
  WriteRegStr HKCU "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\Mailstow.exe,0"
  WriteRegStr HKCU "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\Mailstow.exe" "%1"'
  WriteRegNone HKCU "Software\Classes\.ebk\OpenWithProgids" "${PROGID}"
  Call EbkOwner
  ${If} $R0 == ""
    ReadRegStr $R1 HKCU "Software\Classes\.ebk" ""
    ${If} $R1 != ""
    ${AndIf} $R1 != "${PROGID}"
      WriteRegStr HKCU "${UNINSTALL_KEY}" "${PREVIOUS_TYPE}" "$R1"
    ${EndIf}
    WriteRegStr HKCU "Software\Classes\.ebk" "" "${PROGID}"
  ${EndIf}
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  SectionGetSize ${SecProgram} $R1
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "VersionMajor" ${VERSION_MAJOR}
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "VersionMinor" ${VERSION_MINOR}
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $R1
  WriteRegStr HKCU "${UNINSTALL_KEY}" "URLInfoAbout" "$INSTDIR\help.html"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "HelpLink" "$INSTDIR\help.html"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Mailstow.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1

  ; With automatic backup switched on, the scheduler stopped above runs again at once rather
  ; than only from the next logon.
  Pop $R0
  ${If} $R0 != ""
    Exec '"$INSTDIR\Stowclock.exe"'
  ${EndIf}
SectionEnd

Section "-un.Program"
  SetShellVarContext current
  Call un.CloseRunningPrograms

  ; Only what the installer and the program put here: anything else (an archive the user kept,
  ; a file of another program) stays, and so does the folder then.
  !insertmacro RemoveShippedFiles
  Delete "$INSTDIR\Log.txt"
  Delete "$INSTDIR\AutoLog.txt"
  ; The staging folders are emptied after every run; one that is not keeps what it holds.
  RMDir "$INSTDIR\Temp"
  RMDir "$INSTDIR\AutoTemp"
  ${If} ${FileExists} "$INSTDIR\Mailstow.exe"
  ${OrIf} ${FileExists} "$INSTDIR\Stowclock.exe"
  ${OrIf} ${FileExists} "$INSTDIR\Sqx.dll"
    MessageBox MB_OK|MB_ICONSTOP "$(FilesStay)" /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  ; The undo copies of restores hold the user's mail: they do not outlive the program. An
  ; upgrade, which stops the scheduler through "/uninst" too, keeps them.
  RMDir /r "$LOCALAPPDATA\Mailstow\Undo"
  RMDir "$LOCALAPPDATA\Mailstow"

  Delete "${SHORTCUT}"

  ; ".ebk" goes back to the type it had before, or to none, while it is still Mailstow's.
  ReadRegStr $R0 HKCU "Software\Classes\.ebk" ""
  ${If} $R0 == "${PROGID}"
    ReadRegStr $R1 HKCU "${UNINSTALL_KEY}" "${PREVIOUS_TYPE}"
    ${If} $R1 != ""
      WriteRegStr HKCU "Software\Classes\.ebk" "" "$R1"
    ${Else}
      DeleteRegValue HKCU "Software\Classes\.ebk" ""
    ${EndIf}
  ${EndIf}
  DeleteRegValue HKCU "Software\Classes\.ebk\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifempty HKCU "Software\Classes\.ebk\OpenWithProgids"
  DeleteRegKey /ifempty HKCU "Software\Classes\.ebk"
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

; Off by default, and so under /S: the settings (the stored password of scheduled backups
; among them) stay for a later install unless the user asks.
Section /o "un.$(RemoveSettings)"
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Corvane"
SectionEnd
