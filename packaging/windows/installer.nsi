; The Windows installer: the three programs with the Qt, libcurl, SQLite and MinGW DLLs and the Qt
; plugins, from the folder windows-build.sh lays out (STAGE), a Start-menu entry and an
; uninstaller. makensis -DSTAGE=DIR -DOUTFILE=FILE -DVERSION=V installer.nsi
Unicode true
Target amd64-unicode
!include "MUI2.nsh"
!include "x64.nsh"

Name "VqLirra辅助"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\VqLirra"
InstallDirRegKey HKLM "Software\VqLirra" "InstallDir"
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!define MUI_ICON "${STAGE}\vqlirra.ico"
!define MUI_UNICON "${STAGE}\vqlirra.ico"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VqLirra"

Section "VqLirra"
    SetRegView 64
    SetOutPath "$INSTDIR"
    File /r "${STAGE}\*.*"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    SetShellVarContext all
    CreateShortcut "$SMPROGRAMS\VqLirra辅助.lnk" "$INSTDIR\vqlirra.exe" "" "$INSTDIR\vqlirra.ico"
    WriteRegStr HKLM "Software\VqLirra" "InstallDir" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "VqLirra辅助"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vqlirra.ico"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
SectionEnd

Section "Uninstall"
    SetRegView 64
    SetShellVarContext all
    Delete "$SMPROGRAMS\VqLirra辅助.lnk"
    ; What the installer put there, and nothing the user made (a Log folder, saved lists).
    RMDir /r "$INSTDIR\platforms"
    RMDir /r "$INSTDIR\styles"
    RMDir /r "$INSTDIR\imageformats"
    Delete "$INSTDIR\*.exe"
    Delete "$INSTDIR\*.dll"
    Delete "$INSTDIR\vqlirra.ico"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    DeleteRegKey HKLM "Software\VqLirra"
SectionEnd
