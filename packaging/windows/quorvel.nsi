; The Windows installer, quorvel-<version>-windows-x64-setup.exe: a 64-bit
; program that installs Quorvel for every user of the machine. Compiled by
; packaging/windows/make_installer.sh, which defines:
;   VERSION, NUMERIC_VERSION (four numbers), PUBLISHER, ICON,
;   INSTALL_FILES and UNINSTALL_FILES (the File and Delete lists of the
;   staged program), OUTFILE; SIGN when the installer and its uninstaller
;   are to be signed (a command that signs the file it is given in place).
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh
!include WinVer.nsh
!include FileFunc.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvel"
!define FIREWALL_RULE 'name="Quorvel" dir=in program="$INSTDIR\quorvel.exe"'
; Windows 10 version 1607 (build 14393): Qt's libraries import functions that
; older versions lack (WaitOnAddress, GetDpiForWindow,
; SetProcessDpiAwarenessContext), and the program would not start.
!define OLDEST_BUILD 14393

Name "Quorvel"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Quorvel"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Quorvel ${VERSION}"
!ifdef SIGN
    !finalize '${SIGN} "%1"' = 0
    !uninstfinalize '${SIGN} "%1"' = 0
!endif

VIProductVersion "${NUMERIC_VERSION}"
VIFileVersion "${NUMERIC_VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "Quorvel"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "Quorvel Setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright (c) 2026 ${PUBLISHER}, MIT License"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The first language is the fallback; Windows' display language picks.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Polish"

LangString TooOld ${LANG_ENGLISH} "Quorvel needs Windows 10 version 1607 (Anniversary Update) or later. This computer has an older Windows, so Setup will now close."
LangString TooOld ${LANG_POLISH} "Quorvel wymaga systemu Windows 10 w wersji 1607 (Anniversary Update) lub nowszej. Na tym komputerze jest starszy Windows, więc instalator zostanie zamknięty."
LangString StillRunning ${LANG_ENGLISH} "Quorvel is still running and did not close. Close its window and try again."
LangString StillRunning ${LANG_POLISH} "Quorvel nadal działa i nie dał się zamknąć. Zamknij jego okno i spróbuj ponownie."
LangString NoFirewallRule ${LANG_ENGLISH} "The firewall rule for UDP port 7080 could not be added (netsh ended with $0)."
LangString NoFirewallRule ${LANG_POLISH} "Nie udało się dodać reguły zapory dla portu UDP 7080 (netsh zakończył się kodem $0)."

; Closes every Quorvel window whose program is $INSTDIR\quorvel.exe, as its
; close button would, and waits for the program to end, so that its files
; can be replaced or removed. A window of the same title that belongs to
; another program (a folder named Quorvel, a copy started from the zip) is
; left alone. A program that does not end in 20 seconds stops the setup.
!macro CLOSE_RUNNING_PROGRAM un
Function ${un}CloseRunningProgram
    StrCpy $R0 0
    ${Do}
        FindWindow $R0 "" "Quorvel" 0 $R0
        ${If} $R0 P= 0
            ${ExitDo}
        ${EndIf}
        System::Call 'user32::GetWindowThreadProcessId(p R0, *i .R1)'
        ; SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION
        System::Call 'kernel32::OpenProcess(i 0x101000, i 0, i R1) p .R2'
        ${If} $R2 P= 0
            ${Continue}
        ${EndIf}
        StrCpy $R3 ""
        System::Call 'kernel32::QueryFullProcessImageNameW(p R2, i 0, w .R3, *i ${NSIS_MAX_STRLEN})'
        ${If} $R3 == "$INSTDIR\quorvel.exe"
            DetailPrint "Closing Quorvel (process $R1)"
            System::Call 'user32::PostMessageW(p R0, i 0x0010, p 0, p 0)'  ; WM_CLOSE
            System::Call 'kernel32::WaitForSingleObject(p R2, i 20000) i .R4'
            System::Call 'kernel32::CloseHandle(p R2)'
            ${If} $R4 <> 0
                MessageBox MB_OK|MB_ICONSTOP "$(StillRunning)" /SD IDOK
                SetErrorLevel 3
                Quit
            ${EndIf}
            ; The window is gone: look again from the first window.
            StrCpy $R0 0
        ${Else}
            System::Call 'kernel32::CloseHandle(p R2)'
        ${EndIf}
    ${Loop}
FunctionEnd
!macroend
!insertmacro CLOSE_RUNNING_PROGRAM ""
!insertmacro CLOSE_RUNNING_PROGRAM "un."

Function .onInit
    ${IfNot} ${AtLeastWin10}
    ${OrIfNot} ${AtLeastBuild} ${OLDEST_BUILD}
        MessageBox MB_OK|MB_ICONSTOP "$(TooOld)" /SD IDOK
        SetErrorLevel 4
        Quit
    ${EndIf}
    SetRegView 64
FunctionEnd

Section "Quorvel"
    SetShellVarContext all
    Call CloseRunningProgram

    ; An installed version (older, or this one again): its own uninstaller
    ; removes its files, shortcut, rule and entry, so that nothing of it is
    ; left beside the new files. Run in place (_?=) so that it can be waited for.
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
    ${AndIf} ${FileExists} "$0\uninstall.exe"
        DetailPrint "Removing the installed version from $0"
        ExecWait '"$0\uninstall.exe" /S _?=$0' $1
        Delete "$0\uninstall.exe"
        RMDir "$0"
    ${EndIf}

    !include "${INSTALL_FILES}"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\Quorvel.lnk" "$INSTDIR\quorvel.exe" "" "$INSTDIR\quorvel.exe" 0

    ; The devices answer the broadcast from their own addresses, which
    ; Windows' firewall counts as unsolicited: let them in, for this program
    ; and this port only. A failure leaves the program installed (the README
    ; gives the command to run by hand).
    nsExec::ExecToLog '"$SYSDIR\netsh.exe" advfirewall firewall delete rule ${FIREWALL_RULE}'
    Pop $0
    nsExec::ExecToLog '"$SYSDIR\netsh.exe" advfirewall firewall add rule ${FIREWALL_RULE} action=allow protocol=UDP localport=7080 profile=any enable=yes'
    Pop $0
    ${If} $0 != 0
        DetailPrint "$(NoFirewallRule)"
    ${EndIf}

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Quorvel"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quorvel.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Function un.onInit
    SetRegView 64
FunctionEnd

Section "Uninstall"
    SetShellVarContext all
    Call un.CloseRunningProgram
    nsExec::ExecToLog '"$SYSDIR\netsh.exe" advfirewall firewall delete rule ${FIREWALL_RULE}'
    Pop $0
    !include "${UNINSTALL_FILES}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\Quorvel.lnk"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
