; The Windows installer (NSIS 3, built on Linux by packaging/windows/make-installer).
; Installs quarvel-cli.exe (and quarvel.exe when the build has it), the language packs, the certificate's
; fonts and the manual pages
; under Program Files, a Start-menu folder and an uninstaller registered for all users; then creates the
; installing user's key "Software\Kordane\Quarvel" with Language1..Language3 pointing at the installed
; French, Italian and Bulgarian packs. A value that already exists is never changed. The uninstaller removes
; what the installer put down and leaves the user's settings key alone.
;
; Defines from make-installer: VERSION (1.2), VERSION4 (1.2.0.0), STAGE (the staged files), OUTFILE,
; WITH_GUI (set when quarvel.exe is staged). The staged folder holds files.nsh, the File and Delete lines of
; the language packs and the manual pages.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include "LogicLib.nsh"
!include "WinVer.nsh"

!define PRODUCT "Quarvel"
!define PUBLISHER "Kordane"
!define SETTINGS_KEY "Software\Kordane\Quarvel"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quarvel"
!define MENU_DIR "$SMPROGRAMS\Quarvel"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Quarvel"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PUBLISHER} ${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION4}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!include "${STAGE}/files.nsh"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Pushes 1 when the settings key holds a value of that name (of any type, empty or not), else 0.
; Names compare without regard to case, as the registry's do.
Function ValueExists
  Exch $0  ; the name
  Push $1
  Push $2
  StrCpy $2 0
  ${Do}
    ClearErrors
    EnumRegValue $1 HKCU "${SETTINGS_KEY}" $2
    ${If} ${Errors}
    ${OrIf} $1 == ""
      StrCpy $0 0
      ${Break}
    ${EndIf}
    ${If} $1 == $0
      StrCpy $0 1
      ${Break}
    ${EndIf}
    IntOp $2 $2 + 1
  ${Loop}
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

!macro RegisterPack INDEX PACK
  Push "Language${INDEX}"
  Call ValueExists
  Pop $0
  ${If} $0 == 0
    WriteRegStr HKCU "${SETTINGS_KEY}" "Language${INDEX}" "$INSTDIR\lang\${PACK}.json"
  ${Else}
    DetailPrint "Language${INDEX} is set already; kept as it is"
  ${EndIf}
!macroend

Function .onInit
  ; The programs wait on addresses (WaitOnAddress), which Windows has from version 8: on an older one they
  ; would not start, so nothing is installed there.
  ${IfNot} ${AtLeastWin8}
    MessageBox MB_ICONSTOP|MB_OK "Quarvel needs Windows 8 or later." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Function un.onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Section "Quarvel"
  SetOutPath "$INSTDIR"
  File "${STAGE}/quarvel-cli.exe"
!ifdef WITH_GUI
  File "${STAGE}/quarvel.exe"
!endif
  SetOutPath "$INSTDIR\lang"
  !insertmacro InstallPacks
  SetOutPath "$INSTDIR\fonts"
  !insertmacro InstallFonts
  SetOutPath "$INSTDIR\doc"
  !insertmacro InstallManuals
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; Shortcuts start in the program's folder.
  SetOutPath "$INSTDIR"
  CreateDirectory "${MENU_DIR}"
!ifdef WITH_GUI
  CreateShortcut "${MENU_DIR}\Quarvel.lnk" "$INSTDIR\quarvel.exe" "" "$INSTDIR\quarvel.exe" 0
!endif
  ; quarvel-cli is a console program: its entry opens a command prompt in the program's folder.
  CreateShortcut "${MENU_DIR}\Quarvel command line.lnk" "$SYSDIR\cmd.exe" '/K "quarvel-cli.exe --help"'
  CreateShortcut "${MENU_DIR}\Quarvel manual.lnk" "$INSTDIR\doc\${MAIN_MANUAL}"
  CreateShortcut "${MENU_DIR}\Uninstall Quarvel.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
!ifdef WITH_GUI
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quarvel.exe"
!else
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\uninstall.exe"
!endif
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}

  ; The installing user's settings key: created when missing, its existing values kept.
  !insertmacro RegisterPack 1 fr
  !insertmacro RegisterPack 2 it
  !insertmacro RegisterPack 3 bg
SectionEnd

; Removes the installed files by name (never the whole folder, which the user may have chosen) and the
; folders when they are empty. HKCU\Software\Kordane\Quarvel is the user's and stays.
Section "Uninstall"
  Delete "$INSTDIR\quarvel-cli.exe"
  Delete "$INSTDIR\quarvel.exe"
  !insertmacro RemovePacks
  RMDir "$INSTDIR\lang"
  !insertmacro RemoveFonts
  RMDir "$INSTDIR\fonts"
  !insertmacro RemoveManuals
  RMDir "$INSTDIR\doc"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  Delete "${MENU_DIR}\Quarvel.lnk"
  Delete "${MENU_DIR}\Quarvel command line.lnk"
  Delete "${MENU_DIR}\Quarvel manual.lnk"
  Delete "${MENU_DIR}\Uninstall Quarvel.lnk"
  RMDir "${MENU_DIR}"

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
