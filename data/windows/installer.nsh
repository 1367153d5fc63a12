; The learners' installer (see LumoraInstaller.cmake). It installs Lumora for the learner alone,
; without administrator rights, into %LOCALAPPDATA%\Programs\Lumora, with a Start-menu shortcut
; and an "Apps & features" entry. The uninstaller removes what was installed and leaves the
; learner's progress: the state file, the run record, the log, the browser profile and the
; settings live in %LOCALAPPDATA%\Lumora (the state file perhaps in C:\boot.txt), never here.
; NSIS.template.in defines VERSION, INST_DIR, OUT_FILE, ICON, DISPLAY_NAME and PUBLISHER, and the
; macros LUMORA_INSTALL_FILES and LUMORA_DELETE_FILES.

Unicode true
SetCompressor /SOLID lzma
Name "Lumora"
Caption "${DISPLAY_NAME} ${VERSION}"
OutFile "${OUT_FILE}"
InstallDir "$LOCALAPPDATA\Programs\Lumora"
RequestExecutionLevel user
ManifestDPIAware true
ShowInstDetails show
ShowUninstDetails show

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumora"
!define PROGRAM "$INSTDIR\lumora.exe"
!define UNINSTALLER "$INSTDIR\uninstall.exe"

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "WinVer.nsh"
!include "x64.nsh"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "${PROGRAM}"
!define MUI_FINISHPAGE_RUN_TEXT "启动 Lumora"
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!define MUI_UNCONFIRMPAGE_TEXT_TOP "将删除安装在此文件夹中的 Lumora 程序文件。学习进度、学习记录和日志不会删除：它们保存在 $LOCALAPPDATA\Lumora（学习进度也可能在 C:\boot.txt），重新安装后可继续使用。"
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

; A running Lumora holds its files: it has to end before they are replaced or removed.
!macro LUMORA_WAIT_FOR_EXIT
  ${If} ${FileExists} "${PROGRAM}"
    ${Do}
      ClearErrors
      FileOpen $0 "${PROGRAM}" a
      ${IfNot} ${Errors}
        FileClose $0
        ${Break}
      ${EndIf}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Lumora 正在运行。请先退出 Lumora（托盘菜单“退出程序”），再点“重试”。" /SD IDCANCEL IDRETRY +2
      Abort
    ${Loop}
  ${EndIf}
!macroend

; The program and its engine are 64-bit and need Windows 10 or later: said before anything is
; installed.
Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "Lumora 需要 64 位的 Windows 10 或更新版本，这台电脑的 Windows 是 32 位的，无法安装。" /SD IDOK
    Abort
  ${EndIf}
  ${IfNot} ${AtLeastWin10}
    MessageBox MB_ICONSTOP "Lumora 需要 Windows 10 或更新版本，这台电脑的 Windows 版本太旧，无法安装。" /SD IDOK
    Abort
  ${EndIf}
FunctionEnd

; An upgrade: the old version's own uninstaller removes its files first, so that none of them
; stays beside the new ones. The learner's progress, run record and log are never in this folder.
!macro LUMORA_REMOVE_OLD_VERSION
  ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $1 == ""
    StrCpy $1 "$INSTDIR"
  ${EndIf}
  ${If} ${FileExists} "$1\uninstall.exe"
    DetailPrint "删除旧版本的程序文件"
    ; _?= runs it in place and waits for it; it cannot remove itself then.
    ExecWait '"$1\uninstall.exe" /S _?=$1' $2
    ${If} $2 <> 0
      DetailPrint "旧版本的卸载程序未完成（$2），新文件将覆盖旧文件"
    ${EndIf}
    Delete "$1\uninstall.exe"
  ${EndIf}
!macroend

Section "Lumora"
  !insertmacro LUMORA_WAIT_FOR_EXIT
  !insertmacro LUMORA_REMOVE_OLD_VERSION
  SetOutPath "$INSTDIR"
  !insertmacro LUMORA_INSTALL_FILES
  WriteUninstaller "${UNINSTALLER}"
  ; The program carries the icon (data/icons/lumora.ico) as its first resource.
  CreateShortCut "$SMPROGRAMS\Lumora.lnk" "${PROGRAM}" "" "${PROGRAM}" 0
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${DISPLAY_NAME}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "${PROGRAM},0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  !insertmacro LUMORA_WAIT_FOR_EXIT
  DetailPrint "学习进度、学习记录和日志保留在 $LOCALAPPDATA\Lumora"
  !insertmacro LUMORA_DELETE_FILES
  Delete "${UNINSTALLER}"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Lumora.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
