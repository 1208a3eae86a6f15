; The Windows installer: the game into Program Files, a Start-menu entry, an
; optional desktop shortcut, an entry in "Apps & features" and an uninstaller
; that removes exactly the files the installer put there, and then only the
; folders they leave empty: the player's own folder (%APPDATA%\Valmoren:
; settings, scores, screenshots) and anything else in the install folder
; stay. Made by tools/windows/package.sh with VERSION, STAGE (the unpacked
; game), LISTS (the folder holding install-files.nsh and
; uninstall-files.nsh, the stage's files by name), ICON and OUTFILE defined.
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
; No "Run Valmoren" here: the installer runs as an administrator, and a game
; it started would be the administrator's too (a standard user who typed an
; administrator's password would get a first game keeping its options and
; scores in the administrator's %APPDATA%). The player starts it from the
; Start menu.
!define MUI_FINISHPAGE_TEXT "Valmoren is installed. Start it from the Start menu (or the desktop shortcut, if you chose one).$\r$\n$\r$\nClick Finish to close Setup."
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckInstallFolder
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; A folder the player typed that already holds files of its own (say
; D:\Games, with an img folder of the player's) is asked about: the game's
; files would go in among them. An earlier install of the game is updated in
; place. (Browsing to a folder adds "\Valmoren" to it, as NSIS does.)
Function CheckInstallFolder
  IfFileExists "$INSTDIR\installed.txt" done
  FindFirst $0 $1 "$INSTDIR\*.*"
  next:
    StrCmp $1 "" empty
    StrCmp $1 "." skip
    StrCmp $1 ".." skip
    FindClose $0
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "$INSTDIR already holds files that are not Valmoren's.$\r$\n$\r$\nInstall Valmoren among them? Uninstalling it later removes only its own files.$\r$\n$\r$\nChoose No to pick another folder." IDYES done
    Abort
  skip:
    FindNext $0 $1
    Goto next
  empty:
    FindClose $0
  done:
FunctionEnd

Section "Valmoren (required)" SecGame
  SectionIn RO
  ; Start-menu entries for every user of the machine, as the program is.
  SetShellVarContext all
  ; Every file of the unpacked game, by name (package.sh lists them).
  !include "${LISTS}\install-files.nsh"
  SetOutPath "$INSTDIR"
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

; What the installer put there, by name, and nothing else; then the folders
; that leaves empty. The player's folder %APPDATA%\Valmoren (settings, scores,
; screenshots) stays, and so does whatever else is in the install folder.
Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Valmoren.lnk"
  Delete "$DESKTOP\Valmoren.lnk"
  !include "${LISTS}\uninstall-files.nsh"
  Delete "$INSTDIR\installed.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\Valmoren"
SectionEnd
