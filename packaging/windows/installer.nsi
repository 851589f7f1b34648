; The Windows installer: a per-user install of CorvaneServer, no administrator rights needed.
; Built by the windows preset (target "installer") and by scripts/package:
;   makensis -INPUTCHARSET UTF8 -DVERSION=a.b.c.d -DPUBLISHER=... -DPROGRAM=CorvaneServer.exe
;            -DARTWORK=resources/artwork -DOUTFILE=setup.exe installer.nsi
;
; It goes into %LOCALAPPDATA%\Programs\CorvaneServer: the program keeps its settings file beside
; the executable, and that folder stays writable for the user. A running copy is closed first
; with the program's own shutdown command (the updater starts this installer and then ends the
; program as well), the files are replaced, CorvaneServer.ini is never touched, and the new
; version is started again. /S installs silently; the uninstaller keeps the settings file then.
Unicode true
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\CorvaneServer"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; The tray menu's "Shutdown", as WM_COMMAND to the window titled "CorvaneServer": the program
; then stops its service, saves its settings and ends. (WM_CLOSE only hides that window.)
!define SHUTDOWN_COMMAND 32773
!define SYNCHRONIZE 0x00100000
!define WAIT_OBJECT_0 0
!define LANG_ID_CHINESE_PRC 2052
; How long a closing copy may take to end, and how long a file that is still in use is retried.
!define CLOSE_WAIT_MS 30000
!define FILE_RETRIES 60
!define FILE_RETRY_MS 500

Name "CorvaneServer"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\CorvaneServer"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "CorvaneServer ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

Var WasRunning

!define MUI_ICON "${ARTWORK}/app.ico"
!define MUI_UNICON "${ARTWORK}/app.ico"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${ARTWORK}/installer_side.bmp"
!define MUI_UNWELCOMEFINISHPAGE_BITMAP "${ARTWORK}/installer_side.bmp"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TEXT "$(WelcomeText)"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_INSTFILES
; The finish page follows only when the user goes on, so the list of what was done stays readable.
!define MUI_FINISHPAGE_NOAUTOCLOSE
!define MUI_UNFINISHPAGE_NOAUTOCLOSE
!define MUI_FINISHPAGE_RUN "$INSTDIR\CorvaneServer.exe"
!define MUI_FINISHPAGE_TEXT "$(FinishText)"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "SimpChinese"
!include "${__FILEDIR__}/installer_texts.nsh"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "CorvaneServer"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "CorvaneServer Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Copyright 2026 ${PUBLISHER}"

; Chinese when the user's locale is Chinese (PRC), English otherwise: the program's own rule.
!macro CHOOSE_LANGUAGE
    System::Call 'kernel32::GetUserDefaultLCID() i .r0'
    IntOp $0 $0 & 0xFFFF
    ${If} $0 = ${LANG_ID_CHINESE_PRC}
        StrCpy $LANGUAGE ${LANG_SIMPCHINESE}
    ${Else}
        StrCpy $LANGUAGE ${LANG_ENGLISH}
    ${EndIf}
!macroend

; Closes the running copy, whichever folder it runs from, and waits until its process has
; ended; sets $WasRunning to 1 when there was one. Gives up (Abort) when it does not end and the
; user does not retry; silent runs do not retry.
!macro CLOSE_RUNNING_COPY prefix
Function ${prefix}CloseRunningCopy
    StrCpy $WasRunning 0
    ${Do}
        System::Call 'user32::FindWindowW(p 0, w "CorvaneServer") p .r0'
        ${If} $0 == 0
            Return
        ${EndIf}
        StrCpy $WasRunning 1
        DetailPrint "$(ClosingText)"
        System::Call 'user32::GetWindowThreadProcessId(p r0, *i 0 r1) i'
        System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r1) p .r2'
        SendMessage $0 ${WM_COMMAND} ${SHUTDOWN_COMMAND} 0 /TIMEOUT=5000
        StrCpy $3 ${WAIT_OBJECT_0}
        ${If} $2 != 0
            System::Call 'kernel32::WaitForSingleObject(p r2, i ${CLOSE_WAIT_MS}) i .r3'
            System::Call 'kernel32::CloseHandle(p r2)'
        ${Else}
            ; Without a handle, wait for the window to go; the file copy below waits for the
            ; executable to be free.
            StrCpy $4 0
            ${Do}
                Sleep ${FILE_RETRY_MS}
                IntOp $4 $4 + ${FILE_RETRY_MS}
                IsWindow $0 0 +2
                ${Break}
                ${If} $4 >= ${CLOSE_WAIT_MS}
                    StrCpy $3 1
                    ${Break}
                ${EndIf}
            ${Loop}
        ${EndIf}
        ${If} $3 != ${WAIT_OBJECT_0}
            MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(StillRunningText)" /SD IDCANCEL \
                IDRETRY +2
            Abort "$(StillRunningText)"
        ${EndIf}
    ${Loop}
FunctionEnd
!macroend
!insertmacro CLOSE_RUNNING_COPY ""
!insertmacro CLOSE_RUNNING_COPY "un."

; Puts the program in place. An executable that is still in use is retried for a while (a copy
; may take a moment to end after its window has gone); then the user may retry or cancel. A
; failed copy is never skipped silently.
Function InstallProgram
    StrCpy $R1 0
    ${Do}
        ClearErrors
        SetOverwrite try
        File "/oname=CorvaneServer.exe" "${PROGRAM}"
        SetOverwrite on
        ${IfNot} ${Errors}
            Return
        ${EndIf}
        IntOp $R1 $R1 + 1
        ${If} $R1 >= ${FILE_RETRIES}
            MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(FileInUseText)" /SD IDCANCEL \
                IDRETRY +2
            Abort "$(FileInUseText)"
            StrCpy $R1 0
        ${Else}
            Sleep ${FILE_RETRY_MS}
        ${EndIf}
    ${Loop}
FunctionEnd

; Removes the program before anything else goes, with the same patience as the install: an
; uninstall that cannot remove it stops (Abort) and leaves the entry in the list to try again.
Function un.RemoveProgram
    StrCpy $R1 0
    ${Do}
        Delete "$INSTDIR\CorvaneServer.exe"
        ${IfNot} ${FileExists} "$INSTDIR\CorvaneServer.exe"
            Return
        ${EndIf}
        IntOp $R1 $R1 + 1
        ${If} $R1 >= ${FILE_RETRIES}
            MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(FileInUseText)" /SD IDCANCEL \
                IDRETRY +2
            Abort "$(FileInUseText)"
            StrCpy $R1 0
        ${Else}
            Sleep ${FILE_RETRY_MS}
        ${EndIf}
    ${Loop}
FunctionEnd

Function .onInit
    !insertmacro CHOOSE_LANGUAGE
FunctionEnd

Function un.onInit
    !insertmacro CHOOSE_LANGUAGE
FunctionEnd

Section "CorvaneServer"
    SectionIn RO
    SetOutPath "$INSTDIR"
    Call CloseRunningCopy
    Call InstallProgram
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\CorvaneServer.lnk" "$INSTDIR\CorvaneServer.exe" "" \
        "$INSTDIR\CorvaneServer.exe" 0 SW_SHOWNORMAL "" "$(ShortcutComment)"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "CorvaneServer"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\CorvaneServer.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ; In KiB: the program and the uninstaller (the settings and the log are the user's).
    ${GetSize} "$INSTDIR" "/M=*.exe /S=0K /G=0" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; A copy that was running before runs again afterwards; interactive installs offer that on
; their last page instead.
Function .onInstSuccess
    ${If} ${Silent}
    ${AndIf} $WasRunning == 1
        Exec '"$INSTDIR\CorvaneServer.exe"'
    ${EndIf}
FunctionEnd

Section "Uninstall"
    Call un.CloseRunningCopy
    StrCpy $R0 0
    ${If} ${FileExists} "$INSTDIR\CorvaneServer.ini"
        MessageBox MB_YESNO|MB_ICONQUESTION "$(KeepSettingsText)" /SD IDYES IDYES +2
        StrCpy $R0 1
    ${EndIf}
    Call un.RemoveProgram
    Delete "$INSTDIR\CorvaneServer.log"
    ${If} $R0 == 1
        Delete "$INSTDIR\CorvaneServer.ini"
    ${EndIf}
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\CorvaneServer.lnk"
    DeleteRegValue HKCU "${RUN_KEY}" "VolaServer"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
