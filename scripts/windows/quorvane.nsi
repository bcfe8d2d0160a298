; The Quorvane installer for 64-bit Windows (NSIS 3; itself a 64-bit program).
;
;   makensis -DVERSION=1.0.0 -DBINDIR=$PWD/build-win -DOUTFILE=$PWD/quorvane-setup-1.0.0.exe \
;            scripts/windows/quorvane.nsi
;
; BINDIR (an absolute path: makensis works in this script's folder) holds
; quorvane.exe, quorvane-cli.exe and quorvane-plot.exe (which quorvane-cli
; --plot starts), all statically linked: no DLLs go with them. Installs for
; all users into Program Files\Quorvane, with a Start-menu folder (the
; program and its uninstaller) and an entry in "Apps & features". /S
; installs (and uninstalls) silently; /D=FOLDER, last on the command line,
; chooses another folder.

Target amd64-unicode
!ifndef VERSION
  !error "VERSION is not defined (makensis -DVERSION=...)"
!endif
!ifndef BINDIR
  !error "BINDIR is not defined (makensis -DBINDIR=...)"
!endif
!ifndef OUTFILE
  !define OUTFILE "quorvane-setup-${VERSION}.exe"
!endif
!ifndef EXAMPLES
  !define EXAMPLES "../../examples"
!endif

!include "MUI2.nsh"
!include "x64.nsh"
!include "LogicLib.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvane"

Name "Quorvane ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Quorvane"
InstallDirRegKey HKLM "Software\Quorvane" "InstallDir"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
BrandingText "Quorvane ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Quorvane"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Quorvane ${VERSION} setup"
VIAddVersionKey "LegalCopyright" "Quorvane developers"

!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\quorvane.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Quorvane"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP|MB_OK "Quorvane needs 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Quorvane" SecMain
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${BINDIR}/quorvane.exe"
  File "${BINDIR}/quorvane-cli.exe"
  File "${BINDIR}/quorvane-plot.exe"
  SetOutPath "$INSTDIR\examples"
  File "${EXAMPLES}/controls-and-case.txt"
  SetOutPath "$INSTDIR"

  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "$SMPROGRAMS\Quorvane"
  CreateShortcut "$SMPROGRAMS\Quorvane\Quorvane.lnk" "$INSTDIR\quorvane.exe" "" \
    "$INSTDIR\quorvane.exe" 0
  CreateShortcut "$SMPROGRAMS\Quorvane\Uninstall Quorvane.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "Software\Quorvane" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Quorvane"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Quorvane developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quorvane.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${SecMain} $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  Delete "$INSTDIR\quorvane.exe"
  Delete "$INSTDIR\quorvane-cli.exe"
  Delete "$INSTDIR\quorvane-plot.exe"
  Delete "$INSTDIR\examples\controls-and-case.txt"
  RMDir "$INSTDIR\examples"
  ; The saved inputs, where the program's folder could be written. Those in
  ; each user's application-data folder stay.
  Delete "$INSTDIR\Quorvane.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Quorvane\Quorvane.lnk"
  Delete "$SMPROGRAMS\Quorvane\Uninstall Quorvane.lnk"
  RMDir "$SMPROGRAMS\Quorvane"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\Quorvane"
SectionEnd
