; The Windows installer of Varnel, made with NSIS (makensis) from a staged folder that holds the
; program as it runs: varnel.exe with the Qt and MinGW DLLs, Qt's plugins and the help folder.
;   makensis -DVERSION=1.70 -DSTAGE=<folder> -DOUTFILE=<setup.exe> -DFILES=<list.nsh> varnel.nsi
; FILES is made by .ci/windows from the staged folder: the uninstaller removes exactly what the
; installer put there, never a folder's other contents.
; A 64-bit installer for a 64-bit program (and Wine runs it without a 32-bit layer).
Target amd64-unicode
SetCompressor /SOLID lzma

Name "Varnel ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Varnel"
InstallDirRegKey HKLM "Software\Varnel" "InstallDir"
RequestExecutionLevel admin
ShowInstDetails show

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Varnel"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Varnel"
  SetShellVarContext all
  SetRegView 64
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "$SMPROGRAMS\Varnel"
  CreateShortcut "$SMPROGRAMS\Varnel\Varnel.lnk" "$INSTDIR\varnel.exe"
  CreateShortcut "$SMPROGRAMS\Varnel\Varnel help.lnk" "$INSTDIR\help\index.html"
  CreateShortcut "$SMPROGRAMS\Varnel\Uninstall Varnel.lnk" "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "Software\Varnel" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Varnel ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "TRIVANE"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\varnel.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  SetRegView 64
  !include "${FILES}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Varnel\Varnel.lnk"
  Delete "$SMPROGRAMS\Varnel\Varnel help.lnk"
  Delete "$SMPROGRAMS\Varnel\Uninstall Varnel.lnk"
  RMDir "$SMPROGRAMS\Varnel"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\Varnel"
SectionEnd
