; The Windows setup program: puts the tray program, the service and the console utility into one
; folder under Program Files, with Start-menu entries and an entry in Programs and Features, and
; optionally installs and starts the service and starts the tray program at logon. Its uninstaller
; stops and removes the service and takes everything away again; the settings file only when the
; user agrees (a silent uninstall keeps it).
;
; The build passes the version and the three programs:
;   makensis -DVERSION=4.43 -DTRAY_EXE=... -DSERVICE_EXE=... -DCONSOLE_EXE=... -DOUTFILE=... zelquoiuc.nsi
; The service registers itself (its -install and -uninstall switches), so the installer never
; writes the service's keys on its own.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestSupportedOS all

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include StrFunc.nsh
!include Sections.nsh
${StrCase}

!define PRODUCT "Zelquo IP Update Client"
!define PUBLISHER "Zelquo"
!define SERVICE_NAME "ZelquoIUCSvc"
!define SETTINGS_FILE "ZelquoIUC.ini"
!define SETTINGS_SECTION "Zelquo IP Update Client"
; The per-machine start-up entry; the tray program's Misc page writes the same value.
!define RUN_KEY "SOFTWARE\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "Zelquo IP Update Client"
!define UNINSTALL_KEY "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\ZelquoIUC"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
; An upgrade goes where the installed copy is, so the service's image path stays right.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\zelquoiuc.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start the tray program now"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var ServiceWasRunning

Function un.onInit
  SetShellVarContext all
FunctionEnd

; Stops the service and waits for it ("net stop" returns once it has stopped or given up).
; Leaves 1 in $0 when it was running: "net stop" succeeds only then.
!macro StopServiceIfRunning prefix
  Function ${prefix}StopServiceIfRunning
    nsExec::Exec '"$SYSDIR\net.exe" stop ${SERVICE_NAME}'
    Pop $1
    ${If} $1 == 0
      StrCpy $0 1
    ${Else}
      StrCpy $0 0
    ${EndIf}
    Call ${prefix}WaitForServiceProgram
  FunctionEnd
!macroend

; "net stop" returns once the service reports stopped; its process may still be ending and hold
; its program file, which can then be neither replaced nor deleted. Waits up to 10 seconds for
; the file to open for writing.
!macro WaitForServiceProgram prefix
  Function ${prefix}WaitForServiceProgram
    ${IfNot} ${FileExists} "$INSTDIR\zelquoiucsvc.exe"
      Return
    ${EndIf}
    StrCpy $2 0
    ${Do}
      ClearErrors
      FileOpen $3 "$INSTDIR\zelquoiucsvc.exe" a
      ${IfNot} ${Errors}
        FileClose $3
        ${Break}
      ${EndIf}
      Sleep 200
      IntOp $2 $2 + 1
    ${LoopUntil} $2 >= 50
  FunctionEnd
!macroend
!insertmacro WaitForServiceProgram ""
!insertmacro WaitForServiceProgram "un."
!insertmacro StopServiceIfRunning ""
!insertmacro StopServiceIfRunning "un."

; Who may write the settings file and its folder. The folder inherits Program Files' access list
; (administrators and the system write, users read and run). The settings file gets its own list
; where it is created, in the service's install step; should the installer ever have to set or
; repair that list itself, it belongs here. It does nothing for now.
Function ApplySettingsFileAccess
FunctionEnd

Section "-Programs" SecPrograms
  SetRegView 64
  SetOutPath "$INSTDIR"
  ; A running service holds its program open; it is started again below when it ran.
  Call StopServiceIfRunning
  StrCpy $ServiceWasRunning $0
  SetOverwrite on
  File "/oname=zelquoiuc.exe" "${TRAY_EXE}"
  File "/oname=zelquoiucsvc.exe" "${SERVICE_EXE}"
  File "/oname=zelquoipupdate.exe" "${CONSOLE_EXE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  Call ApplySettingsFileAccess

  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\zelquoiuc.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zelquoiuc.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "Install and start the update service" SecService
  ; Fails without a word when the service is already registered (an upgrade in the same folder).
  ExecWait '"$INSTDIR\zelquoiucsvc.exe" -install'
  nsExec::Exec '"$SYSDIR\net.exe" start ${SERVICE_NAME}'
  Pop $0
  StrCpy $ServiceWasRunning 0
SectionEnd

Section "Start the tray program at logon" SecAutorun
  SetRegView 64
  ; The value and the settings key as the tray program's own check box writes them.
  ${StrCase} $0 "$INSTDIR\zelquoiuc.exe" "L"
  WriteRegStr HKLM "${RUN_KEY}" "${RUN_VALUE}" "$0"
  ; Without the key the box reads as set. The installer never creates the settings file: it would
  ; get the folder's access list instead of the one chosen for it.
  ${If} ${FileExists} "$INSTDIR\${SETTINGS_FILE}"
    WriteINIStr "$INSTDIR\${SETTINGS_FILE}" "${SETTINGS_SECTION}" "autorunonstartup" "1"
  ${EndIf}
SectionEnd

Section "-Restart the service"
  ; The service was running before an upgrade whose user left the service option off.
  ${If} $ServiceWasRunning == 1
    nsExec::Exec '"$SYSDIR\net.exe" start ${SERVICE_NAME}'
    Pop $0
  ${EndIf}
SectionEnd

; Shortcuts for every user of the machine, as the service and the start-up entry are.
; An upgrade keeps the choices of the installed copy: no service when it has none, and no start-up
; entry when the tray program's check box was cleared. /NOSERVICE and /NOAUTORUN clear the two
; options for a silent install.
Function .onInit
  SetShellVarContext all
  SetRegView 64
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
    ReadRegStr $1 HKLM "SYSTEM\CurrentControlSet\Services\${SERVICE_NAME}" "ImagePath"
    ${If} $1 == ""
      !insertmacro UnselectSection ${SecService}
    ${EndIf}
    ReadINIStr $1 "$0\${SETTINGS_FILE}" "${SETTINGS_SECTION}" "autorunonstartup"
    ${If} $1 == "0"
      !insertmacro UnselectSection ${SecAutorun}
    ${EndIf}
  ${EndIf}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/NOSERVICE" $1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecService}
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 "/NOAUTORUN" $1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecAutorun}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  SetRegView 64
  Call un.StopServiceIfRunning
  ExecWait '"$INSTDIR\zelquoiucsvc.exe" -uninstall'

  ; A program still running (a tray program left open) goes at the next restart.
  Delete /REBOOTOK "$INSTDIR\zelquoiuc.exe"
  Delete /REBOOTOK "$INSTDIR\zelquoiucsvc.exe"
  Delete /REBOOTOK "$INSTDIR\zelquoipupdate.exe"
  DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ${If} ${FileExists} "$INSTDIR\${SETTINGS_FILE}"
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
      "Delete the settings file too (your account, host names and choices)?$\r$\n$INSTDIR\${SETTINGS_FILE}" \
      /SD IDNO IDNO keep_settings
    Delete "$INSTDIR\${SETTINGS_FILE}"
  keep_settings:
  ${EndIf}
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: a kept settings file keeps its folder.
  RMDir "$INSTDIR"
SectionEnd
