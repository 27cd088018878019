; The launcher's setup program: installs for the current user without elevation, registers the
; "orvelclient://" addresses and installs itself as an update when the launcher starts it.
;
;   makensis -WX -DARCH=i686|x86_64 -DVERSION=<release> -DPROGRAM_VERSION=<major.minor>
;            -DPROGRAM=<OrvelClient.exe> -DENGINE=<node.dll> -DOUTFILE=<setup.exe> OrvelClient.nsi
;
; makensis works in this folder: the icon path is relative to it, the others are best absolute.
; scripts/release runs it (see README.md, "Publishing a release").
;   <setup.exe>                   shows its progress and a finish page that can start the launcher
;   <setup.exe> /SILENT /norestart   as the update window starts it: shows nothing
;   <setup.exe> /S                NSIS's own silent switch, the same

!ifndef ARCH | VERSION | PROGRAM_VERSION | PROGRAM | ENGINE | OUTFILE
  !error "define ARCH, VERSION, PROGRAM_VERSION, PROGRAM, ENGINE and OUTFILE (see the head of this script)"
!endif
; The shipped setup is 32-bit, as the launcher is; the 64-bit one wraps the build that runs here.
!if "${ARCH}" == "i686"
  Target x86-unicode
!else if "${ARCH}" == "x86_64"
  Target amd64-unicode
!else
  !error "ARCH is i686 or x86_64, not ${ARCH}"
!endif

!include LogicLib.nsh
!include FileFunc.nsh
!include MUI2.nsh

!define PRODUCT "Tolma Launcher"
!define LAUNCHER "OrvelClient.exe"
!define MUTEX "Orvel_client"
; The launcher's own data beside the program: the player's browser profile and the downloaded updates.
!define LAUNCHER_DATA "$LOCALAPPDATA\${PRODUCT}"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\OrvelClient"
!define PROTOCOL_KEY "Software\Classes\orvelclient"
; How long the setup waits for a running launcher to end: the update window's launcher ends at
; once; a player gets this long to close theirs.
!define LAUNCHER_WAIT_MS 60000
!define SYNCHRONIZE 0x00100000
!define WAIT_TIMEOUT 258

Name "${PRODUCT}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
SetCompressor /SOLID lzma
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${PROGRAM_VERSION}.0.0"
VIFileVersion "${PROGRAM_VERSION}.0.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "© ${PRODUCT}"

!define MUI_ICON "../app/app.ico"
!define MUI_UNICON "../app/app.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\${LAUNCHER}"
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!define MUI_COMPONENTSPAGE_TEXT_TOP \
    "The launcher's data of your games (stored logins, page settings, cache) is kept unless you tick it."
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var LauncherRan
Var LauncherMutex

; What the setup and the uninstaller both do around a running launcher, once for each ("un." names
; the uninstaller's). The launcher's mutex is held while files change: a launcher started
; meanwhile waits for it. A running launcher is waited for first; a player asked to close it may
; retry or give up.
!macro LAUNCHER_FUNCTIONS un
Function ${un}TakeLauncherMutex
  System::Call 'kernel32::CreateMutexW(p 0, i 0, w "${MUTEX}") p.s'
  Pop $LauncherMutex
  ${If} $LauncherMutex P= 0
    Return
  ${EndIf}
  DetailPrint "Waiting for ${PRODUCT} to close"
  ${Do}
    ; Taken (0) or abandoned by a launcher that ended without letting go (0x80): ours either way.
    System::Call 'kernel32::WaitForSingleObject(p $LauncherMutex, i ${LAUNCHER_WAIT_MS}) i.s'
    Pop $0
    ${If} $0 <> ${WAIT_TIMEOUT}
      Return
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PRODUCT} is still running. Close it, then choose Retry." \
        /SD IDCANCEL IDRETRY retry
    System::Call 'kernel32::CloseHandle(p $LauncherMutex)'
    SetErrorLevel 2
    Quit
    retry:
  ${Loop}
FunctionEnd

Function ${un}ReleaseLauncherMutex
  ${If} $LauncherMutex P<> 0
    System::Call 'kernel32::ReleaseMutex(p $LauncherMutex)'
    System::Call 'kernel32::CloseHandle(p $LauncherMutex)'
    StrCpy $LauncherMutex 0
  ${EndIf}
FunctionEnd

; A launcher that has let go of its mutex is still ending for a moment, its program and engine
; still mapped: Windows (and Wine) refuse to write them until it has. Waits up to 5 s for the file
; on the stack; the error flag is set when it stays in use.
Function ${un}WaitForWritable
  Exch $0
  Push $1
  Push $2
  StrCpy $1 0
  ClearErrors
  ${DoWhile} ${FileExists} $0
    ClearErrors
    FileOpen $2 $0 a
    ${IfNot} ${Errors}
      FileClose $2
      ${Break}
    ${EndIf}
    IntOp $1 $1 + 1
    ${If} $1 > 50
      ${Break}
    ${EndIf}
    Sleep 100
  ${Loop}
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; Quits with exit code 3, changing nothing, when the launcher's files stay in use.
Function ${un}WaitForProgramFiles
  Push "$INSTDIR\${LAUNCHER}"
  Call ${un}WaitForWritable
  ${IfNot} ${Errors}
    Push "$INSTDIR\node.dll"
    Call ${un}WaitForWritable
  ${EndIf}
  ${If} ${Errors}
    Call ${un}ReleaseLauncherMutex
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT}'s files are still in use. Close it and try again." /SD IDOK
    SetErrorLevel 3
    Quit
  ${EndIf}
FunctionEnd
!macroend
!insertmacro LAUNCHER_FUNCTIONS ""
!insertmacro LAUNCHER_FUNCTIONS "un."

Function .onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/SILENT" $1
  ${IfNot} ${Errors}
    SetSilent silent
  ${EndIf}
  ; A launcher runs when its mutex exists. The update window starts the setup from the launcher's
  ; own Updates folder and ends at once, possibly before this runs: that launcher ran too.
  StrCpy $LauncherRan 0
  System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${MUTEX}") p.s'
  Pop $0
  ${If} $0 P<> 0
    StrCpy $LauncherRan 1
    System::Call 'kernel32::CloseHandle(p r0)'
  ${EndIf}
  ${If} $EXEDIR == "${LAUNCHER_DATA}\Updates"
    StrCpy $LauncherRan 1
  ${EndIf}
FunctionEnd

Section
  Call TakeLauncherMutex
  Call WaitForProgramFiles
  SetOutPath "$INSTDIR"
  File "/oname=${LAUNCHER}" "${PROGRAM}"
  File "/oname=node.dll" "${ENGINE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${LAUNCHER}"

  ; A link "orvelclient://<game address>" starts the launcher with the link as its first argument.
  WriteRegStr HKCU "${PROTOCOL_KEY}" "" "URL:${PRODUCT}"
  WriteRegStr HKCU "${PROTOCOL_KEY}" "URL Protocol" ""
  WriteRegStr HKCU "${PROTOCOL_KEY}\DefaultIcon" "" '"$INSTDIR\${LAUNCHER}",0'
  WriteRegStr HKCU "${PROTOCOL_KEY}\shell\open\command" "" '"$INSTDIR\${LAUNCHER}" "%1"'

  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\${LAUNCHER}",0'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1

  Call ReleaseLauncherMutex
  ; Shown, the finish page offers the start; silent, the player gets back what was running.
  ${If} ${Silent}
  ${AndIf} $LauncherRan == 1
    Exec '"$INSTDIR\${LAUNCHER}"'
  ${EndIf}
SectionEnd

Section "-un.${PRODUCT}"
  Call un.TakeLauncherMutex
  Call un.WaitForProgramFiles
  Delete "$INSTDIR\${LAUNCHER}"
  Delete "$INSTDIR\node.dll"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegKey HKCU "${PROTOCOL_KEY}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  RMDir /r "${LAUNCHER_DATA}\Updates"
  ; The launcher's crash dumps, for support: nothing of the player's.
  RMDir /r "${LAUNCHER_DATA}\logs"
SectionEnd

Section /o "un.Also remove my game data"
  RMDir /r "${LAUNCHER_DATA}\Browser"
SectionEnd

Section "-un.Tidy"
  ; Only when nothing of the player's is left in it.
  RMDir "${LAUNCHER_DATA}"
  Call un.ReleaseLauncherMutex
SectionEnd
