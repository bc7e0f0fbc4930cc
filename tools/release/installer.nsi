; The MERUVIA driver's installer. It puts the driver, its tool and the guides into the
; 32-bit Program Files folder, registers the driver through the DLL's own DllRegisterServer
; (in the 32-bit registry view, where the 32-bit host looks: the installer is a 32-bit
; program) and adds an entry to the list of installed programs. The uninstaller takes
; exactly that away again.
;
; makensis -DVERSION=... -DSTAGE=<folder with the files> -DOUTFILE=... [-DSIGN=<script>]

Unicode true
SetCompressor /SOLID lzma
SetDateSave off
RequestExecutionLevel admin
ManifestDPIAware true

!include "MUI2.nsh"
!include "LogicLib.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\MERUVIA"

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

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; Pages in the system's language: Chinese (Simplified) on a Chinese Windows, else English.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "SimpChinese"

LangString RegisterFailed ${LANG_ENGLISH} "The driver could not be registered: MERUVIA.DLL's registration reported an error. Registering needs administrator rights: run the installer as administrator. Nothing was installed."
LangString RegisterFailed ${LANG_SIMPCHINESE} "驱动无法注册: MERUVIA.DLL 的注册报告了错误。注册需要管理员权限: 请以管理员身份运行安装程序。没有安装任何内容。"
LangString Registered ${LANG_ENGLISH} "MERUVIA.DLL registered for 32-bit programs."
LangString Registered ${LANG_SIMPCHINESE} "MERUVIA.DLL 已为 32 位程序注册。"
LangString UnregisterFailed ${LANG_ENGLISH} "The driver's registration could not be removed. Run the uninstaller as administrator."
LangString UnregisterFailed ${LANG_SIMPCHINESE} "无法删除驱动的注册信息。请以管理员身份运行卸载程序。"

; Every file the installer puts down, so that installing and removing name the same set.
!macro Files Action
  !insertmacro ${Action} "" "MERUVIA.DLL"
  !insertmacro ${Action} "" "meruvia-host.exe"
  !insertmacro ${Action} "" "INSTALL.txt"
  !insertmacro ${Action} "docs" "README.html"
  !insertmacro ${Action} "docs" "README.zh-CN.html"
  !insertmacro ${Action} "licenses" "GCC-runtime.txt"
  !insertmacro ${Action} "licenses" "GPL-3.txt"
  !insertmacro ${Action} "licenses" "MinGW-w64.txt"
!macroend

!macro PutFile Folder Name
  SetOutPath "$INSTDIR\${Folder}"
  File "${STAGE}\${Folder}\${Name}"
!macroend

!macro RemoveFile Folder Name
  Delete "$INSTDIR\${Folder}\${Name}"
!macroend

; Removes what the installer put down. The tool that was just run from the folder may take
; a moment to let go of its file, so the removal is tried again for up to five seconds.
!macro RemoveInstalled
  SetOutPath "$TEMP" ; a folder that is the current one cannot be removed
  StrCpy $R9 0
  ${Do}
    !insertmacro Files RemoveFile
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR\docs"
    RMDir "$INSTDIR\licenses"
    RMDir "$INSTDIR"
    ${IfNot} ${FileExists} "$INSTDIR\*.*"
      ${Break}
    ${EndIf}
    IntOp $R9 $R9 + 1
    Sleep 100
  ${LoopUntil} $R9 >= 50
!macroend

Section "MERUVIA"
  !insertmacro Files PutFile
  SetOutPath "$INSTDIR"

  ClearErrors
  RegDLL "$INSTDIR\MERUVIA.DLL"
  ${If} ${Errors}
    DetailPrint "$(RegisterFailed)"
    MessageBox MB_OK|MB_ICONSTOP "$(RegisterFailed)" /SD IDOK
    ; Keys written before the refusal go too, where the rights allow.
    nsExec::ExecToLog '"$INSTDIR\meruvia-host.exe" --unregister'
    Pop $0
    !insertmacro RemoveInstalled
    SetErrorLevel 2
    Abort
  ${EndIf}
  DetailPrint "$(Registered)"

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "MERUVIA ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "MERUVIA"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\meruvia-host.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  ; The tool removes the five keys, and only where they are the driver's own.
  nsExec::ExecToLog '"$INSTDIR\meruvia-host.exe" --unregister'
  Pop $0
  ${If} $0 != 0
    DetailPrint "$(UnregisterFailed)"
    MessageBox MB_OK|MB_ICONSTOP "$(UnregisterFailed)" /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  !insertmacro RemoveInstalled
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
