; The setup program for Windows, made by script/windows with makensis from the folder the zip is
; made of:
;
;   makensis -DVERSION=0.1.0 -DSTAGE=folder -DICONS=folder -DFILES=files.nsh -DOUTFILE=setup.exe setup.nsi
;
; STAGE: the programs and everything the zip ships beside them. ICONS: quorvane.ico and crc16.ico.
; FILES: what script/windows lists of STAGE for the uninstaller (Delete and RMDir lines), so it
; removes exactly what was installed and nothing else: Config.ini beside the programs stays.
;
; Run by an administrator (or elevated), it installs for all users under Program Files; run by
; anyone else, for that user alone under %LOCALAPPDATA%\Programs, without asking for rights.
; /AllUsers or /CurrentUser choose; /S installs silently. An earlier install is replaced in its
; own folder.

; A 64-bit setup for 64-bit programs: it also runs where Windows (or Wine) has no 32-bit layer.
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!define PRODUCT Quorvane
!define PUBLISHER "Quorvane developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvane"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "${PRODUCT}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "Software\${PRODUCT}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallDir"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "Software\${PRODUCT}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallMode"
!include MultiUser.nsh
!include MUI2.nsh
!include LogicLib.nsh

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} ${VERSION}"

!define MUI_ICON "${ICONS}/quorvane.ico"
!define MUI_UNICON "${ICONS}/quorvane.ico"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\quorvane.exe"

!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"
!insertmacro MUI_LANGUAGE "English"

; The setup's own properties: what Explorer shows for the file.
VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

Function .onInit
    SetRegView 64
    !insertmacro MULTIUSER_INIT
FunctionEnd

Function un.onInit
    SetRegView 64
    ; The uninstaller removes the install it belongs to, for all users or for this one by where
    ; that install is registered, whatever the switches or the account would choose.
    StrCpy $R9 "$INSTDIR"
    !insertmacro MULTIUSER_UNINIT
    ReadRegStr $0 HKLM "Software\${PRODUCT}" "InstallDir"
    ReadRegStr $1 HKCU "Software\${PRODUCT}" "InstallDir"
    ${If} $0 == $R9
        Call un.MultiUser.InstallMode.AllUsers
    ${ElseIf} $1 == $R9
        Call un.MultiUser.InstallMode.CurrentUser
    ${EndIf}
    StrCpy $INSTDIR "$R9"
FunctionEnd

Section "${PRODUCT}"
    SetOutPath "$INSTDIR"
    ; Everything the zip ships. No Config.ini among it: the user's file stays as it is.
    File /r "${STAGE}/*"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\Quorvane.lnk" "$INSTDIR\quorvane.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\CRC16.lnk" "$INSTDIR\crc16.exe"

    ; SHCTX: HKLM for all users, HKCU for one (MultiUser sets it).
    WriteRegStr SHCTX "Software\${PRODUCT}" "InstallDir" "$INSTDIR"
    WriteRegStr SHCTX "Software\${PRODUCT}" "InstallMode" "$MultiUser.InstallMode"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$\"$INSTDIR\quorvane.exe$\",0"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" \
        "$\"$INSTDIR\uninstall.exe$\" /$MultiUser.InstallMode"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" \
        "$\"$INSTDIR\uninstall.exe$\" /$MultiUser.InstallMode /S"
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

Section "Uninstall"
    !include "${FILES}"
    Delete "$INSTDIR\uninstall.exe"
    ; Removed only when empty: a Config.ini beside the programs keeps the folder.
    RMDir "$INSTDIR"

    Delete "$SMPROGRAMS\${PRODUCT}\Quorvane.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\CRC16.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"

    ; The program's start at log-on, when it names this install: it would point at nothing.
    ReadRegStr $0 HKCU "${RUN_KEY}" "quorvane"
    ${If} $0 == "$\"$INSTDIR\quorvane.exe$\""
        DeleteRegValue HKCU "${RUN_KEY}" "quorvane"
    ${EndIf}

    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
    DeleteRegKey SHCTX "Software\${PRODUCT}"
SectionEnd
