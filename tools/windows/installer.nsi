; The Windows installer: the game into Program Files, a Start-menu entry, an
; optional desktop shortcut, an entry in "Apps & features" and an uninstaller
; that removes what was installed and leaves the player's own folder
; (%APPDATA%\Valmoren: settings, scores, screenshots) alone. Made by
; tools/windows/package.sh with VERSION, STAGE (the unpacked game), ICON and
; OUTFILE defined.
; A 64-bit installer for the 64-bit game (it also runs where no 32-bit
; subsystem is installed).
Target amd64-unicode
SetCompressor /SOLID lzma
!include "MUI2.nsh"

Name "Valmoren"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Valmoren"
InstallDirRegKey HKLM "Software\Valmoren" "InstallDir"
RequestExecutionLevel admin
BrandingText "Valmoren ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Valmoren"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Valmoren installer"
VIAddVersionKey "LegalCopyright" "GNU General Public License, version 3 or later"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Valmoren"
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\valmoren.exe"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.txt"

!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Valmoren (required)" SecGame
  SectionIn RO
  ; Start-menu entries for every user of the machine, as the program is.
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${STAGE}\valmoren.exe"
  File "${STAGE}\suget.dat"
  File "${STAGE}\README.txt"
  File "${STAGE}\LICENSE.txt"
  File /r "${STAGE}\img"
  File /r "${STAGE}\sounds"
  ; The mark the game reads: installed, its folder is not the player's to
  ; write in, so the player's files go to %APPDATA%\Valmoren.
  FileOpen $0 "$INSTDIR\installed.txt" w
  FileWrite $0 "Installed by the Valmoren installer: the game keeps each player's files in %APPDATA%\Valmoren.$\r$\n"
  FileClose $0
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Valmoren.lnk" "$INSTDIR\valmoren.exe" "" "$INSTDIR\valmoren.exe" 0
  WriteRegStr HKLM "Software\Valmoren" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Valmoren"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\valmoren.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Valmoren"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${SecGame} $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "Desktop shortcut" SecDesktop
  SetShellVarContext all
  CreateShortcut "$DESKTOP\Valmoren.lnk" "$INSTDIR\valmoren.exe" "" "$INSTDIR\valmoren.exe" 0
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecGame} "The game, its pictures, sounds and story, and a Start-menu entry."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecDesktop} "A shortcut to the game on the desktop."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; What the installer put there, and nothing else: the player's folder
; %APPDATA%\Valmoren (settings, scores, screenshots) stays.
Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Valmoren.lnk"
  Delete "$DESKTOP\Valmoren.lnk"
  Delete "$INSTDIR\valmoren.exe"
  Delete "$INSTDIR\suget.dat"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\installed.txt"
  RMDir /r "$INSTDIR\img"
  RMDir /r "$INSTDIR\sounds"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\Valmoren"
SectionEnd
