; The Windows installer of Varnel, made with NSIS (makensis) from a staged folder that holds the
; program as it runs: varnel.exe and varnel-cli.exe with the Qt and MinGW DLLs, Qt's plugins and
; the help folder.
;   makensis -DVERSION=1.70 -DSTAGE=<folder> -DOUTFILE=<setup.exe> -DFILES=<list.nsh> varnel.nsi
; FILES is made by .ci/windows from the staged folder: the uninstaller removes exactly what the
; installer put there, never a folder's other contents. -DFAST packs quickly (zlib), for tests.
;
; Installs for the user running it (no administrator rights needed, the default) or, with
; administrator rights, for every user of the PC. Options on the command line, for /S too:
;   /ALLUSERS   for every user (C:\Program Files\Varnel)    /CURRENTUSER  for this user only
;   /NOPATH     leave the PATH alone (by default varnel-cli's folder is added to it)
;   /D=<folder> the installation folder (last, as NSIS wants it)
; An installed older version is removed (by its own uninstaller) before the new one goes in.
; While Varnel runs, nothing is installed or removed.
; A 64-bit installer for a 64-bit program (and Wine runs it without a 32-bit layer).
Target amd64-unicode
!ifdef FAST
  SetCompressor zlib
!else
  SetCompressor /SOLID lzma
!endif

!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh
!include WinMessages.nsh
!include StrFunc.nsh
${StrStr}
${UnStrStr}
${UnStrRep}

Name "Varnel ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
ShowInstDetails show
ShowUninstDetails show

!define PRODUCT_KEY "Software\Varnel"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Varnel"
!define MACHINE_ENVIRONMENT "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
; The wizard's single-instance semaphore (its program name and ".SEMAPHORE").
!define INSTANCE_SEMAPHORE "Varnel.SEMAPHORE"

Var AllUsers      ; 1: for every user of the PC
Var AddToPath     ; 1: varnel-cli's folder goes on the PATH
Var DirGiven      ; 1: the folder came from /D or an earlier installation
Var ModeUserRadio
Var ModeAllRadio
Var PathCheck

Page custom ModePage ModePageLeave
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; ---- shared by installer and uninstaller ------------------------------------------------------

; Sets $1 to 1 when the program FILE runs: a running program cannot be opened for writing.
!macro ProgramInUse FILE
  ${If} $1 = 0
  ${AndIf} ${FileExists} "${FILE}"
    ClearErrors
    FileOpen $2 "${FILE}" a
    ${If} ${Errors}
      StrCpy $1 1
    ${Else}
      FileClose $2
    ${EndIf}
  ${EndIf}
!macroend

!macro RefuseWhileRunning UN
Function ${UN}RefuseWhileRunning
  ; The running wizard holds its semaphore; a running varnel-cli.exe or varnel-station.exe is
  ; an open program file.
  System::Call 'kernel32::OpenSemaphoreW(i 0x00100000, i 0, w "${INSTANCE_SEMAPHORE}") p .r0'
  StrCpy $1 0
  ${If} $0 P<> 0
    System::Call 'kernel32::CloseHandle(p r0)'
    StrCpy $1 1
  ${EndIf}
  !insertmacro ProgramInUse "$INSTDIR\varnel-cli.exe"
  !insertmacro ProgramInUse "$INSTDIR\varnel-station.exe"
  ${If} $1 = 1
    MessageBox MB_OK|MB_ICONSTOP "Varnel is running. Close Varnel, Varnel Station and every Varnel command prompt that runs an update, then start this again." /SD IDOK
    SetErrorLevel 3
    Quit
  ${EndIf}
FunctionEnd
!macroend
!insertmacro RefuseWhileRunning ""
!insertmacro RefuseWhileRunning "un."

; ---- installer --------------------------------------------------------------------------------

Function ApplyMode
  ${If} $AllUsers = 1
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
  ${If} $DirGiven != 1
    ${If} $AllUsers = 1
      StrCpy $INSTDIR "$PROGRAMFILES64\Varnel"
    ${Else}
      StrCpy $INSTDIR "$LOCALAPPDATA\Programs\Varnel"
    ${EndIf}
  ${EndIf}
FunctionEnd

; False (0 in $0) when the mode needs rights this installer does not have.
Function MayInstallForAll
  StrCpy $0 1
  ${If} $AllUsers = 1
    UserInfo::GetAccountType
    Pop $1
    ${If} $1 != "Admin"
      StrCpy $0 0
    ${EndIf}
  ${EndIf}
FunctionEnd

Function .onInit
  SetRegView 64
  StrCpy $AllUsers 0
  StrCpy $AddToPath 1
  StrCpy $DirGiven 0
  ${If} $INSTDIR != ""
    StrCpy $DirGiven 1
  ${EndIf}
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/ALLUSERS" $R1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/CURRENTUSER" $R1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 0
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/NOPATH" $R1
  ${IfNot} ${Errors}
    StrCpy $AddToPath 0
  ${EndIf}
  ; Without a folder given, an earlier installation of the same scope keeps its folder.
  ${If} $DirGiven != 1
    ${If} $AllUsers = 1
      ReadRegStr $R2 HKLM "${PRODUCT_KEY}" "InstallDir"
    ${Else}
      ReadRegStr $R2 HKCU "${PRODUCT_KEY}" "InstallDir"
    ${EndIf}
    ${If} $R2 != ""
      StrCpy $INSTDIR $R2
      StrCpy $DirGiven 1
    ${EndIf}
  ${EndIf}
  Call ApplyMode
  ${If} ${Silent}
    Call MayInstallForAll
    ${If} $0 = 0
      MessageBox MB_OK|MB_ICONSTOP "Installing Varnel for every user of this PC needs administrator rights. Run the installer as administrator, or install for this user only." /SD IDOK
      SetErrorLevel 4
      Quit
    ${EndIf}
  ${EndIf}
  Call RefuseWhileRunning
FunctionEnd

Function ModePage
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 24u "Install Varnel ${VERSION} for:"
  Pop $0
  ${NSD_CreateRadioButton} 10u 26u 100% 12u "this user only (no administrator rights needed)"
  Pop $ModeUserRadio
  ${NSD_CreateRadioButton} 10u 42u 100% 12u "every user of this PC (needs administrator rights)"
  Pop $ModeAllRadio
  ${If} $AllUsers = 1
    ${NSD_Check} $ModeAllRadio
  ${Else}
    ${NSD_Check} $ModeUserRadio
  ${EndIf}
  ${NSD_CreateCheckBox} 0 70u 100% 12u "Add varnel-cli to the PATH, so that any command prompt finds it"
  Pop $PathCheck
  ${If} $AddToPath = 1
    ${NSD_Check} $PathCheck
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function ModePageLeave
  ${NSD_GetState} $ModeAllRadio $0
  ${If} $0 = ${BST_CHECKED}
    StrCpy $AllUsers 1
  ${Else}
    StrCpy $AllUsers 0
  ${EndIf}
  ${NSD_GetState} $PathCheck $0
  ${If} $0 = ${BST_CHECKED}
    StrCpy $AddToPath 1
  ${Else}
    StrCpy $AddToPath 0
  ${EndIf}
  Call MayInstallForAll
  ${If} $0 = 0
    MessageBox MB_OK|MB_ICONEXCLAMATION "Installing for every user needs administrator rights: start the installer with Run as administrator, or install for this user only."
    Abort
  ${EndIf}
  Call ApplyMode
FunctionEnd

; Adds $INSTDIR to the PATH of the installation's scope, once. A PATH longer than the installer
; can hold is left alone rather than cut short.
Function AddToPathVariable
  ${If} $AllUsers = 1
    ReadRegStr $0 HKLM "${MACHINE_ENVIRONMENT}" "Path"
  ${Else}
    ReadRegStr $0 HKCU "Environment" "Path"
  ${EndIf}
  StrLen $1 $0
  IntOp $2 ${NSIS_MAX_STRLEN} - 1
  IntOp $2 $2 - 300
  ${If} $1 >= $2
    DetailPrint "The PATH is too long to be changed here safely; add $INSTDIR to it by hand."
    Return
  ${EndIf}
  ${StrStr} $3 ";$0;" ";$INSTDIR;"
  ${If} $3 != ""
    Return
  ${EndIf}
  ${If} $0 == ""
    StrCpy $0 "$INSTDIR"
  ${Else}
    StrCpy $0 "$0;$INSTDIR"
  ${EndIf}
  ${If} $AllUsers = 1
    WriteRegExpandStr HKLM "${MACHINE_ENVIRONMENT}" "Path" $0
  ${Else}
    WriteRegExpandStr HKCU "Environment" "Path" $0
  ${EndIf}
  WriteRegDWORD SHCTX "${PRODUCT_KEY}" "OnPath" 1
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=3000
FunctionEnd

Section "Varnel"
  SetRegView 64
  ; An installed version goes first, by its own uninstaller, so that none of its files linger.
  ReadRegStr $0 SHCTX "${PRODUCT_KEY}" "InstallDir"
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\uninstall.exe"
    ReadRegStr $1 SHCTX "${UNINSTALL_KEY}" "DisplayVersion"
    DetailPrint "Removing Varnel $1 from $0"
    ExecWait '"$0\uninstall.exe" /S _?=$0' $2
    Delete "$0\uninstall.exe"
    RMDir "$0"
  ${EndIf}

  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "$SMPROGRAMS\Varnel"
  CreateShortcut "$SMPROGRAMS\Varnel\Varnel.lnk" "$INSTDIR\varnel.exe"
  CreateShortcut "$SMPROGRAMS\Varnel\Varnel help.lnk" "$INSTDIR\help\index.html"
  ; The bench window: opens a job the operator picks, or makes one.
  CreateShortcut "$SMPROGRAMS\Varnel\Varnel Station.lnk" "$INSTDIR\varnel-station.exe"
  CreateShortcut "$SMPROGRAMS\Varnel\Varnel Station - make a job.lnk" "$INSTDIR\varnel-station.exe" "--engineer"
  CreateShortcut "$SMPROGRAMS\Varnel\Uninstall Varnel.lnk" "$INSTDIR\uninstall.exe"
  ; A command prompt that finds varnel-cli, PATH or not, starting in the user's own folder.
  SetOutPath "$PROFILE"
  CreateShortcut "$SMPROGRAMS\Varnel\Varnel command prompt.lnk" "$SYSDIR\cmd.exe" \
    '/k "set "PATH=$INSTDIR;%PATH%" && varnel-cli --help"' "$INSTDIR\varnel-cli.exe" 0
  SetOutPath "$INSTDIR"

  WriteRegStr SHCTX "${PRODUCT_KEY}" "InstallDir" "$INSTDIR"
  WriteRegStr SHCTX "${PRODUCT_KEY}" "Version" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "Varnel ${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "TRIVANE"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\varnel.exe"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${If} $AddToPath = 1
    Call AddToPathVariable
  ${EndIf}
SectionEnd

; ---- uninstaller ------------------------------------------------------------------------------

Function un.onInit
  SetRegView 64
  ; The scope is the one whose registration names this folder.
  ReadRegStr $0 HKLM "${PRODUCT_KEY}" "InstallDir"
  ${If} $0 == $INSTDIR
    SetShellVarContext all
    StrCpy $AllUsers 1
  ${Else}
    SetShellVarContext current
    StrCpy $AllUsers 0
  ${EndIf}
  Call un.RefuseWhileRunning
FunctionEnd

Function un.RemoveFromPathVariable
  ${If} $AllUsers = 1
    ReadRegStr $0 HKLM "${MACHINE_ENVIRONMENT}" "Path"
  ${Else}
    ReadRegStr $0 HKCU "Environment" "Path"
  ${EndIf}
  StrLen $1 $0
  IntOp $2 ${NSIS_MAX_STRLEN} - 1
  ${If} $1 >= $2
    Return ; too long to have been read whole: never write back a cut one
  ${EndIf}
  ${UnStrStr} $3 ";$0;" ";$INSTDIR;"
  ${If} $3 == ""
    Return
  ${EndIf}
  ${UnStrRep} $0 ";$0;" ";$INSTDIR;" ";"
  ; Drop the separators added around it.
  StrCpy $0 $0 "" 1
  StrCpy $0 $0 -1
  ${If} $AllUsers = 1
    WriteRegExpandStr HKLM "${MACHINE_ENVIRONMENT}" "Path" $0
  ${Else}
    ${If} $0 == ""
      DeleteRegValue HKCU "Environment" "Path"
    ${Else}
      WriteRegExpandStr HKCU "Environment" "Path" $0
    ${EndIf}
  ${EndIf}
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=3000
FunctionEnd

Section "Uninstall"
  SetRegView 64
  ReadRegDWORD $0 SHCTX "${PRODUCT_KEY}" "OnPath"
  ${If} $0 = 1
    Call un.RemoveFromPathVariable
  ${EndIf}
  !include "${FILES}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Varnel\Varnel.lnk"
  Delete "$SMPROGRAMS\Varnel\Varnel help.lnk"
  Delete "$SMPROGRAMS\Varnel\Varnel Station.lnk"
  Delete "$SMPROGRAMS\Varnel\Varnel Station - make a job.lnk"
  Delete "$SMPROGRAMS\Varnel\Uninstall Varnel.lnk"
  Delete "$SMPROGRAMS\Varnel\Varnel command prompt.lnk"
  RMDir "$SMPROGRAMS\Varnel"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  DeleteRegKey SHCTX "${PRODUCT_KEY}"
SectionEnd
