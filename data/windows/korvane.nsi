; The Windows installer of Korvane, made by scripts/package-windows with makensis:
;   makensis -INPUTCHARSET UTF8 -DVERSION=… -DFILES=files.nsh -DICON=korvane.ico
;            -DSIZE_KB=… -DOUTFILE=korvane-setup-….exe korvane.nsi
; FILES defines two macros: KORVANE_INSTALL_FILES (every file, in its folder) and
; KORVANE_REMOVE_FILES (the same files and folders, removed).
; Run by an administrator it installs for every user (Program Files, HKLM); otherwise for the
; current user only (%LOCALAPPDATA%\Programs, HKCU). /S installs silently; the uninstaller
; takes /S too.

; A 64-bit installer: Korvane is a 64-bit program (and Wine without its 32-bit part runs it).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel highest
ManifestDPIAware true

!include LogicLib.nsh
!include x64.nsh
!include "${FILES}"

!define NAME "Korvane"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Korvane"

Name "${NAME} ${VERSION}"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
BrandingText "${NAME} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${NAME}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${NAME} ${VERSION} Setup"
VIAddVersionKey "LegalCopyright" "Korvane developers"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Var AllUsers

!macro KORVANE_CHOOSE_SCOPE
  SetRegView 64
  StrCpy $AllUsers 0
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 == "Admin"
    StrCpy $AllUsers 1
  ${EndIf}
!macroend

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "Korvane needs 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  !insertmacro KORVANE_CHOOSE_SCOPE
  ${If} $AllUsers == 1
    SetShellVarContext all
    StrCpy $INSTDIR "$PROGRAMFILES64\${NAME}"
  ${Else}
    SetShellVarContext current
    StrCpy $INSTDIR "$LOCALAPPDATA\Programs\${NAME}"
  ${EndIf}
FunctionEnd

Section "Korvane"
  !insertmacro KORVANE_INSTALL_FILES
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${NAME}.lnk" "$INSTDIR\korvane.exe" "" "$INSTDIR\korvane.exe" 0
  ; Apps & features
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\korvane.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "Korvane developers"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "URLInfoAbout" "https://www.korvane.org/"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Function un.onInit
  !insertmacro KORVANE_CHOOSE_SCOPE
  ; Installed for every user when the machine's entry names this folder.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Delete "$SMPROGRAMS\${NAME}.lnk"
  !insertmacro KORVANE_REMOVE_FILES
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
