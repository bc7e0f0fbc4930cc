; The MERUVIA driver's installer. It puts the driver, its tool and the guides into the
; 32-bit Program Files folder, registers the driver through the DLL's own DllRegisterServer
; (in the 32-bit registry view, where the 32-bit host looks: the installer is a 32-bit
; program), adds an entry to the list of installed programs and a Start menu folder.
;
; Every install, reinstall, upgrade and repair is all or nothing: the new files are written
; beside the installation, checked to be free, swapped in, registered and the registration
; read back before anything of the previous installation is let go. On any failure the
; previous installation (files, registration, entry) is put back as it was.
;
; Exit status: 0 installed; 1 cancelled; 2 failed, nothing changed; 3 a newer version is
; installed and was kept; 4 a file of the installation is in use, nothing changed. The
; reason of a failure is also written to %TEMP%\meruvia-setup.log (or meruvia-uninstall.log),
; for silent runs. Programs are run with ExecWait from the installation or the system
; folder; the only plugins are the welcome and finish pages' two (nsDialogs, System),
; which tools/release.sh signs like everything else in a signed release.
;
; makensis -DVERSION=... -DSTAGE=<folder with the files> -DOUTFILE=... [-DSIGN=<script>]

Unicode true
SetCompressor /SOLID lzma
SetDateSave off
RequestExecutionLevel admin
ManifestDPIAware true
AllowSkipFiles off
BrandingText " "

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "WordFunc.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\MERUVIA"
!define PROGID "MERUVIA.MeruviaPro"
!define CLASS_KEY "CLSID\{93447081-C721-4469-8B89-46F355783C14}"
!define CLSID_TEXT "{93447081-C721-4469-8B89-46F355783C14}"
!define STAGE_DIR "$INSTDIR\~setup-new"
!define OLD_DIR "$INSTDIR\~setup-old"
!define MENU_DIR "$SMPROGRAMS\MERUVIA"

!define EXIT_FAILED 2
!define EXIT_NEWER_KEPT 3
!define EXIT_IN_USE 4

Name "MERUVIA ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES32\MERUVIA"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "MERUVIA"
VIAddVersionKey /LANG=0 "FileDescription" "MERUVIA display driver setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" ""

!ifdef SIGN
!finalize '"${SIGN}" "%1"' = 0
!uninstfinalize '"${SIGN}" "%1"' = 0
!endif

Var PrevDir      ; the folder of the installation this one replaces, if any
Var PrevVersion
Var Failed       ; the file a step failed on; empty while all goes well
Var MadeInstDir  ; 1 when this run created the installation folder
Var RollBackTrouble ; the files that could not be put back
Var Reg1
Var Reg2
Var Reg3
Var Reg4
Var Reg5

!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\docs\$(GuideFile)"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "$(OpenGuide)"
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "$(RunCheck)"
!define MUI_FINISHPAGE_RUN_FUNCTION RunCheck
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; Pages in the system's language: Chinese (Simplified) on a Chinese Windows, else English.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "SimpChinese"

!include "installer_texts.nsh"

; Every file of an installation, relative to its folder, so that staging, swapping, putting
; back and removing name the same set. The uninstaller is written, not packed.
!macro Files Action
  !insertmacro ${Action} "MERUVIA.DLL"
  !insertmacro ${Action} "meruvia-host.exe"
  !insertmacro ${Action} "meruvia-display.exe"
  !insertmacro ${Action} "INSTALL.txt"
  !insertmacro ${Action} "docs\README.html"
  !insertmacro ${Action} "docs\README.zh-CN.html"
  !insertmacro ${Action} "licenses\GCC-runtime.txt"
  !insertmacro ${Action} "licenses\GPL-3.txt"
  !insertmacro ${Action} "licenses\MinGW-w64.txt"
  !insertmacro ${Action} "Uninstall.exe"
!macroend

; Writes why the run stops ($R9, and what a rollback could not put back) to the log in
; %TEMP%, which is all a silent run can leave.
!macro LogFunction un log
  Function ${un}LogReason
    ClearErrors
    FileOpen $R7 "$TEMP\${log}" w
    ${IfNot} ${Errors}
      FileWriteUTF16LE /BOM $R7 "$R9$\r$\n"
      ${If} $RollBackTrouble != ""
        FileWriteUTF16LE $R7 "$(PutBackFailed)$\r$\n"
      ${EndIf}
      FileClose $R7
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro LogFunction "" "meruvia-setup.log"
!insertmacro LogFunction "un." "meruvia-uninstall.log"

; Says why the run stops (a message box, or the log alone in silent mode), sets the exit
; status and stops. $R9 the message, $R8 the status.
!macro FailFunction un
  Function ${un}Fail
    DetailPrint "$R9"
    Call ${un}LogReason
    MessageBox MB_OK|MB_ICONSTOP "$R9" /SD IDOK
    SetErrorLevel $R8
    Abort
  FunctionEnd
!macroend
!insertmacro FailFunction ""
!insertmacro FailFunction "un."

!macro Fail Message Status
  StrCpy $R9 "${Message}"
  StrCpy $R8 ${Status}
  Call ${FN_PREFIX}Fail
!macroend

; Waits, with Retry/Cancel, until no other program holds the file $R0 (the host with the
; driver loaded, an editor with a guide open). Opening it for writing is refused while it is.
!macro CheckFreeFunction un
  Function ${un}CheckFree
    ${If} ${FileExists} "$R0"
      ${Do}
        ClearErrors
        FileOpen $R1 "$R0" a
        ${IfNot} ${Errors}
          FileClose $R1
          ${Break}
        ${EndIf}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(InUse)" /SD IDCANCEL IDRETRY +3
        !insertmacro Fail "$(InUseGaveUp)" ${EXIT_IN_USE}
        Return
      ${Loop}
    ${EndIf}
  FunctionEnd
!macroend
!define FN_PREFIX ""
!insertmacro CheckFreeFunction ""
!undef FN_PREFIX
!define FN_PREFIX "un."
!insertmacro CheckFreeFunction "un."
!undef FN_PREFIX

; The files of the installation in the folder $R6, each checked to be free.
!macro CheckFreeIn Rel
  !if "${FN_PREFIX}${Rel}" != "un.Uninstall.exe" ; the uninstaller run in place is itself
    StrCpy $R0 "$R6\${Rel}"
    Call ${FN_PREFIX}CheckFree
  !endif
!macroend

!macro StageFile Rel
  !if "${Rel}" != "Uninstall.exe"
    ${If} $Failed == ""
      ClearErrors
      File "/oname=${STAGE_DIR}\${Rel}" "${STAGE}\${Rel}"
      ${If} ${Errors}
        StrCpy $Failed "${STAGE_DIR}\${Rel}"
      ${EndIf}
    ${EndIf}
  !endif
!macroend

; Moves the installed file aside and the staged one in.
!macro SwapIn Rel
  ${If} $Failed == ""
    ClearErrors
    ${If} ${FileExists} "$INSTDIR\${Rel}"
      Rename "$INSTDIR\${Rel}" "${OLD_DIR}\${Rel}"
    ${EndIf}
    ${IfNot} ${Errors}
      Rename "${STAGE_DIR}\${Rel}" "$INSTDIR\${Rel}"
    ${EndIf}
    ${If} ${Errors}
      StrCpy $Failed "$INSTDIR\${Rel}"
    ${EndIf}
  ${EndIf}
!macroend

; Undoes SwapIn: a file that was swapped in (no longer staged) goes back to the stage, the
; one set aside comes back. What cannot be put back stays where it is, and is named.
!macro PutBack Rel
  ClearErrors
  ${IfNot} ${FileExists} "${STAGE_DIR}\${Rel}"
  ${AndIf} ${FileExists} "$INSTDIR\${Rel}"
    Rename "$INSTDIR\${Rel}" "${STAGE_DIR}\${Rel}"
  ${EndIf}
  ${If} ${FileExists} "${OLD_DIR}\${Rel}"
  ${AndIfNot} ${Errors}
    Rename "${OLD_DIR}\${Rel}" "$INSTDIR\${Rel}"
  ${EndIf}
  ${If} ${Errors}
    StrCpy $RollBackTrouble "$RollBackTrouble $INSTDIR\${Rel}"
  ${EndIf}
!macroend

!macro AddSize Rel
  ClearErrors
  FileOpen $R1 "$INSTDIR\${Rel}" r
  ${IfNot} ${Errors}
    FileSeek $R1 0 END $R2
    FileClose $R1
    IntOp $R0 $R0 + $R2
  ${EndIf}
!macroend

!macro RemoveIn Rel
  Delete "$R6\${Rel}"
!macroend

; A key's default value as it was: "absent", "novalue" or "=" and the value.
!macro SaveKey Var Key
  ClearErrors
  EnumRegKey $R0 HKCR "${Key}" 0
  ${If} ${Errors}
    StrCpy ${Var} "absent"
  ${Else}
    ClearErrors
    ReadRegStr $R0 HKCR "${Key}" ""
    ${If} ${Errors}
      StrCpy ${Var} "novalue"
    ${Else}
      StrCpy ${Var} "=$R0"
    ${EndIf}
  ${EndIf}
!macroend

!macro RestoreKey Var Key
  ${If} ${Var} == "absent"
    DeleteRegKey /ifnosubkeys HKCR "${Key}"
  ${ElseIf} ${Var} == "novalue"
    DeleteRegValue HKCR "${Key}" ""
  ${Else}
    StrCpy $R0 ${Var} "" 1
    WriteRegStr HKCR "${Key}" "" "$R0"
  ${EndIf}
!macroend

; Removes the staged files and the folders this run made, before anything was swapped.
Function DropStage
  SetOutPath "$TEMP" ; a folder that is the current one cannot be removed
  RMDir /r "${STAGE_DIR}"
  RMDir /r "${OLD_DIR}"
  ${If} $MadeInstDir == 1
    RMDir "$INSTDIR\docs"
    RMDir "$INSTDIR\licenses"
    RMDir "$INSTDIR"
  ${EndIf}
FunctionEnd

; Takes back everything this run did to the folder and the registration. The folder of the
; previous files is removed only once it is empty: a file that could not be put back is
; left there, never deleted.
Function RollBack
  DetailPrint "$(RollingBack)"
  StrCpy $RollBackTrouble ""
  !insertmacro Files PutBack
  !insertmacro RestoreKey $Reg5 "${CLASS_KEY}\InprocServer32"
  !insertmacro RestoreKey $Reg4 "${CLASS_KEY}\ProgID"
  !insertmacro RestoreKey $Reg3 "${PROGID}\CLSID"
  !insertmacro RestoreKey $Reg2 "${CLASS_KEY}"
  !insertmacro RestoreKey $Reg1 "${PROGID}"
  SetOutPath "$TEMP" ; a folder that is the current one cannot be removed
  RMDir /r "${STAGE_DIR}"
  RMDir "${OLD_DIR}\docs"
  RMDir "${OLD_DIR}\licenses"
  RMDir "${OLD_DIR}"
  ${If} $RollBackTrouble != ""
    DetailPrint "$(PutBackFailed)"
  ${ElseIf} $MadeInstDir == 1
    RMDir "$INSTDIR\docs"
    RMDir "$INSTDIR\licenses"
    RMDir "$INSTDIR"
  ${EndIf}
FunctionEnd

!macro UnderFolder Folder
  StrLen $R3 "${Folder}\"
  StrCpy $R4 "$INSTDIR\" $R3
  ${If} $R4 == "${Folder}\"
    StrCpy $R0 1
  ${EndIf}
!macroend
Function InProgramFiles
  StrCpy $R0 0
  !insertmacro UnderFolder "$PROGRAMFILES32"
  !insertmacro UnderFolder "$PROGRAMFILES64"
FunctionEnd

; A folder outside Program Files would take its parent's rights, which commonly let every
; user write: it gets Program Files' instead. Windows without icacls (XP) keeps the rights.
Function ProtectFolder
  Call InProgramFiles
  ${If} $R0 == 1
    Return
  ${EndIf}
  ${IfNot} ${FileExists} "$SYSDIR\icacls.exe"
    DetailPrint "$(NoIcacls)"
    Return
  ${EndIf}
  DetailPrint "$(Protecting)"
  ; Administrators and SYSTEM full control, Users read and execute, nothing inherited.
  ExecWait '"$SYSDIR\icacls.exe" "$INSTDIR" /inheritance:r /grant:r *S-1-5-32-544:(OI)(CI)F *S-1-5-18:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX' $R0
  ${If} $R0 != 0
    StrCpy $Failed "$INSTDIR"
    DetailPrint "$(ProtectFailed)"
  ${EndIf}
FunctionEnd

Function .onInit
  ClearErrors
  ReadRegStr $PrevVersion HKLM "${UNINSTALL_KEY}" "DisplayVersion"
  ReadRegStr $PrevDir HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $PrevVersion != ""
    ${VersionCompare} "$PrevVersion" "${VERSION}" $R0
    ${If} $R0 == 1
      MessageBox MB_YESNO|MB_ICONQUESTION "$(Downgrade)" /SD IDNO IDYES downgrade_agreed
      ; The user said no (or a silent run cannot ask): no second message box.
      StrCpy $R9 "$(DowngradeRefused)"
      Call LogReason
      SetErrorLevel ${EXIT_NEWER_KEPT}
      Abort
      downgrade_agreed:
    ${EndIf}
  ${EndIf}
FunctionEnd

Function RunCheck
  Exec '"$SYSDIR\cmd.exe" /c ""$INSTDIR\meruvia-host.exe" --doctor & pause"'
FunctionEnd

Section "MERUVIA"
  !define FN_PREFIX ""
  StrCpy $Failed ""
  StrCpy $MadeInstDir 0
  Delete "$TEMP\meruvia-setup.log"

  ; Nothing starts while a file of an installation is held: neither this folder's nor,
  ; when the installation moves, the old folder's.
  StrCpy $R6 "$INSTDIR"
  !insertmacro Files CheckFreeIn
  ${If} $PrevDir != ""
  ${AndIf} $PrevDir != $INSTDIR
    StrCpy $R6 "$PrevDir"
    !insertmacro Files CheckFreeIn
  ${EndIf}

  ; The new files, beside the installation.
  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    StrCpy $MadeInstDir 1
  ${EndIf}
  RMDir /r "${STAGE_DIR}"
  RMDir /r "${OLD_DIR}"
  ClearErrors
  CreateDirectory "${STAGE_DIR}\docs"
  CreateDirectory "${STAGE_DIR}\licenses"
  CreateDirectory "${OLD_DIR}\docs"
  CreateDirectory "${OLD_DIR}\licenses"
  CreateDirectory "$INSTDIR\docs"
  CreateDirectory "$INSTDIR\licenses"
  ${If} ${Errors}
    StrCpy $Failed "$INSTDIR"
  ${EndIf}
  !insertmacro Files StageFile
  ${If} $Failed == ""
    ClearErrors
    WriteUninstaller "${STAGE_DIR}\Uninstall.exe"
    ${If} ${Errors}
      StrCpy $Failed "${STAGE_DIR}\Uninstall.exe"
    ${EndIf}
  ${EndIf}
  ${If} $Failed != ""
    Call DropStage
    !insertmacro Fail "$(CopyFailed)" ${EXIT_FAILED}
  ${EndIf}

  ; The registration as it is, to put back if this run fails.
  !insertmacro SaveKey $Reg1 "${PROGID}"
  !insertmacro SaveKey $Reg2 "${CLASS_KEY}"
  !insertmacro SaveKey $Reg3 "${PROGID}\CLSID"
  !insertmacro SaveKey $Reg4 "${CLASS_KEY}\ProgID"
  !insertmacro SaveKey $Reg5 "${CLASS_KEY}\InprocServer32"

  !insertmacro Files SwapIn
  ${If} $Failed != ""
    Call RollBack
    !insertmacro Fail "$(SwapFailed)" ${EXIT_FAILED}
  ${EndIf}

  ; Registered, and read back: the class must name this folder's DLL.
  SetOutPath "$INSTDIR"
  ClearErrors
  RegDLL "$INSTDIR\MERUVIA.DLL"
  ${If} ${Errors}
    Call RollBack
    !insertmacro Fail "$(RegisterFailed)" ${EXIT_FAILED}
  ${EndIf}
  ReadRegStr $R1 HKCR "${CLASS_KEY}\InprocServer32" ""
  ReadRegStr $R2 HKCR "${PROGID}\CLSID" ""
  GetFullPathName /SHORT $R3 "$INSTDIR\MERUVIA.DLL"
  StrCpy $R0 0
  ${If} $R1 == $R3
  ${OrIf} $R1 == "$INSTDIR\MERUVIA.DLL"
    StrCpy $R0 1
  ${EndIf}
  ${If} $R2 != "${CLSID_TEXT}"
    StrCpy $R0 0
  ${EndIf}
  ${If} $R0 != 1
    Call RollBack
    !insertmacro Fail "$(RegisterFailed)" ${EXIT_FAILED}
  ${EndIf}
  DetailPrint "$(Registered)"

  Call ProtectFolder
  ${If} $Failed != ""
    Call RollBack
    !insertmacro Fail "$(ProtectFailed)" ${EXIT_FAILED}
  ${EndIf}

  ; From here on the new installation stands: the previous one's leftovers go.
  SetOutPath "$INSTDIR"
  RMDir /r "${STAGE_DIR}"
  RMDir /r "${OLD_DIR}"
  ${If} ${FileExists} "${OLD_DIR}\*.*" ; grabbed since the check: gone at the next start
    RMDir /r /REBOOTOK "${OLD_DIR}"
  ${EndIf}
  ${If} $PrevDir != ""
  ${AndIf} $PrevDir != $INSTDIR
    StrCpy $R6 "$PrevDir"
    !insertmacro Files RemoveIn
    RMDir "$PrevDir\docs"
    RMDir "$PrevDir\licenses"
    RMDir "$PrevDir"
  ${EndIf}

  SetShellVarContext all
  RMDir /r "${MENU_DIR}"
  CreateDirectory "${MENU_DIR}"
  CreateShortcut "${MENU_DIR}\$(LinkGuideZh).lnk" "$INSTDIR\docs\README.zh-CN.html"
  CreateShortcut "${MENU_DIR}\$(LinkGuideEn).lnk" "$INSTDIR\docs\README.html"
  CreateShortcut "${MENU_DIR}\$(LinkCheck).lnk" "$SYSDIR\cmd.exe" \
    '/c ""$INSTDIR\meruvia-host.exe" --doctor & pause"' "$INSTDIR\meruvia-host.exe"
  CreateShortcut "${MENU_DIR}\$(LinkDisplay).lnk" "$INSTDIR\meruvia-display.exe"
  CreateShortcut "${MENU_DIR}\$(LinkUninstall).lnk" "$INSTDIR\Uninstall.exe"

  ; The size in KB, for the list of installed programs (FileFunc's GetSize would need a plugin).
  StrCpy $R0 0
  !insertmacro Files AddSize
  IntOp $R0 $R0 / 1024
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "MERUVIA ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "MERUVIA"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Uninstall.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "HelpLink" "$INSTDIR\docs\$(GuideFile)"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $R0
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  !undef FN_PREFIX
SectionEnd

Section "Uninstall"
  !define FN_PREFIX "un."
  Delete "$TEMP\meruvia-uninstall.log"
  ; Nothing is removed while a file is held: the registration, the entry and the files
  ; all stay, rather than leave files no uninstaller can reach.
  StrCpy $R6 "$INSTDIR"
  !insertmacro Files CheckFreeIn

  ; The tool removes the keys, only where they name this folder's DLL; the uninstaller
  ; carries its own copy for when the installed one is gone.
  ${IfNot} ${FileExists} "$INSTDIR\meruvia-host.exe"
    DetailPrint "$(ToolRestored)"
    File "/oname=$INSTDIR\meruvia-host.exe" "${STAGE}\meruvia-host.exe"
  ${EndIf}
  ClearErrors
  ExecWait '"$INSTDIR\meruvia-host.exe" --unregister' $R0
  ${If} ${Errors}
  ${OrIf} $R0 != 0
    !insertmacro Fail "$(UnregisterFailed)" ${EXIT_FAILED}
  ${EndIf}
  ClearErrors
  ReadRegStr $R1 HKCR "${CLASS_KEY}\InprocServer32" ""
  ${If} $R1 != ""
    DetailPrint "$(OtherCopyKept)"
  ${EndIf}

  SetOutPath "$TEMP" ; a folder that is the current one cannot be removed
  StrCpy $R6 "$INSTDIR"
  !insertmacro Files RemoveIn
  ; Run in place (Uninstall.exe /S _?=<folder>), the uninstaller cannot delete its own
  ; file: it moves it out of the folder, which Windows allows for a running program, or
  ; leaves it for Windows to delete at the next start. The documented silent form runs a
  ; copy from outside the folder instead.
  ${If} ${FileExists} "$INSTDIR\Uninstall.exe"
    GetTempFileName $R2
    Delete "$R2"
    ClearErrors
    Rename "$INSTDIR\Uninstall.exe" "$R2"
    ${If} ${Errors}
      StrCpy $R2 "$INSTDIR\Uninstall.exe"
    ${EndIf}
    Delete /REBOOTOK "$R2"
  ${EndIf}
  RMDir "$INSTDIR\docs"
  RMDir "$INSTDIR\licenses"
  RMDir "$INSTDIR"
  SetShellVarContext all
  RMDir /r "${MENU_DIR}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  !undef FN_PREFIX
SectionEnd
