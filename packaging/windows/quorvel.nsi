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
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckChosenFolder
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
LangString ForeignFolder ${LANG_ENGLISH} "The folder $INSTDIR already holds other files. Quorvel is installed only into an empty folder or over an earlier installation of Quorvel; choose another folder."
LangString ForeignFolder ${LANG_POLISH} "Folder $INSTDIR zawiera już inne pliki. Quorvel można zainstalować tylko w pustym folderze albo w miejscu wcześniejszej instalacji programu Quorvel; wybierz inny folder."
LangString NoFolderPermissions ${LANG_ENGLISH} "Setup could not make the folder $INSTDIR writable by administrators only (icacls ended with $0), so Quorvel is not installed. Choose a folder on an NTFS drive."
LangString NoFolderPermissions ${LANG_POLISH} "Instalator nie mógł ograniczyć prawa zapisu w folderze $INSTDIR do administratorów (icacls zakończył się kodem $0), więc Quorvel nie został zainstalowany. Wybierz folder na dysku NTFS."
LangString NoFirewallRule ${LANG_ENGLISH} "The firewall rule for UDP port 7080 could not be added (netsh ended with $0)."
LangString NoFirewallRule ${LANG_POLISH} "Nie udało się dodać reguły zapory dla portu UDP 7080 (netsh zakończył się kodem $0)."

; Closes the program $INSTDIR\quorvel.exe, as its close buttons would, and
; waits for it to end, so that its files can be replaced or removed. What it
; shows may be more than its main window: an error box, titled "Quorvel"
; too, above it. So every visible top-level window of its process is asked
; to close, whatever its title, and the windows are looked at again every
; quarter of a second until the process has ended: closing a box lets its
; window close on the next request (Qt ignores a close request to a window
; that a modal box blocks), and whatever the program shows next is closed in
; turn. A window of the same title that belongs to another program (a folder
; named Quorvel, a copy started from the zip) is left alone. A program that
; does not end in 20 seconds stops the setup.
!macro CLOSE_RUNNING_PROGRAM un
; The first process, in the windows' Z order, of $INSTDIR\quorvel.exe that
; shows a window: its id in $R1 and a handle to wait for in $R2, which is 0
; when there is none.
Function ${un}FindInstalledProgram
    StrCpy $R0 0
    ${Do}
        StrCpy $R2 0
        FindWindow $R0 "" "" 0 $R0
        ${IfThen} $R0 P= 0 ${|} ${ExitDo} ${|}
        System::Call 'user32::IsWindowVisible(p R0) i .R3'
        ${IfThen} $R3 = 0 ${|} ${Continue} ${|}
        System::Call 'user32::GetWindowThreadProcessId(p R0, *i .R1)'
        ; SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION
        System::Call 'kernel32::OpenProcess(i 0x101000, i 0, i R1) p .R2'
        ${IfThen} $R2 P= 0 ${|} ${Continue} ${|}
        StrCpy $R3 ""
        System::Call 'kernel32::QueryFullProcessImageNameW(p R2, i 0, w .R3, *i ${NSIS_MAX_STRLEN})'
        ${IfThen} $R3 == "$INSTDIR\quorvel.exe" ${|} ${ExitDo} ${|}
        System::Call 'kernel32::CloseHandle(p R2)'
    ${Loop}
FunctionEnd

; Asks every visible top-level window of process $R1 to close (WM_CLOSE).
Function ${un}CloseWindowsOf
    StrCpy $R0 0
    ${Do}
        FindWindow $R0 "" "" 0 $R0
        ${IfThen} $R0 P= 0 ${|} ${ExitDo} ${|}
        System::Call 'user32::IsWindowVisible(p R0) i .R3'
        System::Call 'user32::GetWindowThreadProcessId(p R0, *i .R4)'
        ${If} $R3 <> 0
        ${AndIf} $R4 = $R1
            System::Call 'user32::PostMessageW(p R0, i 0x0010, p 0, p 0)'
        ${EndIf}
    ${Loop}
FunctionEnd

Function ${un}CloseRunningProgram
    ${Do}
        Call ${un}FindInstalledProgram
        ${IfThen} $R2 P= 0 ${|} ${ExitDo} ${|}
        DetailPrint "Closing Quorvel (process $R1)"
        System::Call 'kernel32::GetTickCount() i .R5'
        ${Do}
            Call ${un}CloseWindowsOf
            ; What is left of the 20 seconds, at most a quarter of a second.
            System::Call 'kernel32::GetTickCount() i .R6'
            IntOp $R6 $R6 - $R5
            IntOp $R6 20000 - $R6
            ${IfThen} $R6 < 0 ${|} StrCpy $R6 0 ${|}
            ${IfThen} $R6 > 250 ${|} StrCpy $R7 250 ${|}
            ${IfThen} $R6 <= 250 ${|} StrCpy $R7 $R6 ${|}
            System::Call 'kernel32::WaitForSingleObject(p R2, i R7) i .R4'
            ${If} $R4 = 0
            ${OrIf} $R6 <= 250
                ${ExitDo}
            ${EndIf}
        ${Loop}
        System::Call 'kernel32::CloseHandle(p R2)'
        ${If} $R4 <> 0
            MessageBox MB_OK|MB_ICONSTOP "$(StillRunning)" /SD IDOK
            SetErrorLevel 3
            Quit
        ${EndIf}
        ; Ended: look for another copy.
    ${Loop}
FunctionEnd
!macroend
!insertmacro CLOSE_RUNNING_PROGRAM ""
!insertmacro CLOSE_RUNNING_PROGRAM "un."

; Whether setup may install into $INSTDIR: $R0 is 1 when the folder does
; not exist, is empty, or holds the installed Quorvel (the Apps & features
; entry, which only administrators can change, says where that is), 0
; otherwise. Into any other folder, files of the same names would be
; overwritten, and deleted again by the uninstaller.
Function IsFolderOfItsOwn
    StrCpy $R0 1
    ReadRegStr $R1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${IfThen} $R1 == $INSTDIR ${|} Return ${|}
    FindFirst $R1 $R2 "$INSTDIR\*"
    ${DoWhile} $R2 != ""
        ${If} $R2 != "."
        ${AndIf} $R2 != ".."
            StrCpy $R0 0
            ${ExitDo}
        ${EndIf}
        FindNext $R1 $R2
    ${Loop}
    FindClose $R1
FunctionEnd

; The folder page's Next button: another folder is asked for.
Function CheckChosenFolder
    Call IsFolderOfItsOwn
    ${If} $R0 = 0
        MessageBox MB_OK|MB_ICONEXCLAMATION "$(ForeignFolder)"
        Abort
    ${EndIf}
FunctionEnd

; A folder outside Program Files would have the permissions of wherever it
; is, and the root of a second drive often lets every user write. A standard
; user could then replace uninstall.exe, which upgrades and Apps & features
; run as administrator, or quorvel.exe, which the firewall rule admits. So
; Administrators own it, only they and SYSTEM may write in it and users read
; and run, nothing inherited: /reset first, so that no explicit entry of
; someone else stays beside these three. SIDs, because Windows translates
; the groups' names. Inside Program Files the folder keeps Windows' own
; permissions, which are these and a few more of Windows' services.
!macro ICACLS ARGUMENTS
    ${If} $0 == 0
        nsExec::ExecToLog '"$SYSDIR\icacls.exe" "$INSTDIR" ${ARGUMENTS}'
        Pop $0
    ${EndIf}
!macroend
Function RestrictFolder
    StrLen $R0 "$PROGRAMFILES64\"
    StrCpy $R0 $INSTDIR $R0
    ${IfThen} $R0 == "$PROGRAMFILES64\" ${|} Return ${|}
    StrLen $R0 "$PROGRAMFILES32\"
    StrCpy $R0 $INSTDIR $R0
    ${IfThen} $R0 == "$PROGRAMFILES32\" ${|} Return ${|}
    DetailPrint "Letting only administrators write in $INSTDIR"
    StrCpy $0 0
    !insertmacro ICACLS "/setowner *S-1-5-32-544"
    !insertmacro ICACLS "/reset"
    !insertmacro ICACLS "/inheritance:r /grant:r *S-1-5-32-544:(OI)(CI)F *S-1-5-18:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX"
    ${If} $0 != 0
        RMDir "$INSTDIR"
        MessageBox MB_OK|MB_ICONSTOP "$(NoFolderPermissions)" /SD IDOK
        SetErrorLevel 6
        Quit
    ${EndIf}
FunctionEnd

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
    ; A silent setup has no folder page: the same check, before anything
    ; is changed.
    Call IsFolderOfItsOwn
    ${If} $R0 = 0
        MessageBox MB_OK|MB_ICONSTOP "$(ForeignFolder)" /SD IDOK
        SetErrorLevel 5
        Quit
    ${EndIf}
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

    ; Restricted while it is still empty: no file of the program is ever
    ; writable by others.
    CreateDirectory "$INSTDIR"
    Call RestrictFolder
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
