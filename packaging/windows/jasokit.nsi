; The Windows installer: the programs, the DLL and their data into
; Program Files\Jaso_Kit, a Start-menu entry for the window, and, when chosen,
; the folder on the machine's PATH.
;   makensis -DVERSION=1.0.0 -DSTAGE_FILES=files.nsh -DSTAGE_DELETES=deletes.nsh
;            -DOUTFILE=setup.exe [-DHAVE_WINDOW] [-DICON=icon.ico] jasokit.nsi
; Silent: setup.exe /S [/ADDTOPATH] [/D=FOLDER]; uninstall.exe /S.

Unicode true
; A native 64-bit installer: the programs are 64-bit only, and it needs no
; 32-bit layer to run (neither on Windows nor under a 64-bit wine).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Jaso_Kit"
!define ENVIRONMENT_KEY "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
!define PUBLISHER "Jaso_Kit developers"

Name "Jaso_Kit ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Jaso_Kit"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Jaso_Kit ${VERSION}"
ShowInstDetails show
ShowUninstDetails show
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "Jaso_Kit"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "Jaso_Kit ${VERSION} setup"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PUBLISHER}"

!ifdef ICON
  !define MUI_ICON "${ICON}"
  !define MUI_UNICON "${ICON}"
!endif
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The first is the fallback; Windows' own language picks between them.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Korean"

LangString SecProgramsName ${LANG_ENGLISH} "Jaso_Kit (programs and zip code table)"
LangString SecProgramsName ${LANG_KOREAN} "Jaso_Kit (프로그램과 우편번호 표)"
LangString SecPathName ${LANG_ENGLISH} "Add jasokit.exe to the PATH"
LangString SecPathName ${LANG_KOREAN} "jasokit.exe를 PATH에 추가"
LangString PathTooLong ${LANG_ENGLISH} "The PATH is too long to be changed safely by this installer; add $INSTDIR to it by hand."
LangString PathTooLong ${LANG_KOREAN} "PATH가 너무 길어 설치 프로그램이 안전하게 바꿀 수 없습니다. $INSTDIR 폴더를 직접 추가하세요."
LangString PathUnchanged ${LANG_ENGLISH} "The PATH could not be read; it was left as it is. Remove $INSTDIR from it by hand."
LangString PathUnchanged ${LANG_KOREAN} "PATH를 읽을 수 없어 그대로 두었습니다. $INSTDIR 폴더를 직접 지우세요."

; $0 a PATH, $1 a folder: $2 the PATH without the folder (with or without a
; trailing backslash, any case), $3 1 when it was there. Other entries, empty
; ones too, stay as they were.
!macro DEFINE_PATH_WITHOUT PREFIX
Function ${PREFIX}PathWithout
  Push $4
  Push $5
  Push $6
  Push $7
  StrCpy $2 ""
  StrCpy $3 0
  StrCpy $4 ""
  StrCpy $6 0
  StrCpy $7 1
  ${Do}
    StrCpy $5 $0 1 $6
    ${If} $5 == ";"
    ${OrIf} $5 == ""
      ${If} $4 == $1
      ${OrIf} $4 == "$1\"
        StrCpy $3 1
      ${ElseIf} $7 == 1
        StrCpy $2 $4
        StrCpy $7 0
      ${Else}
        StrCpy $2 "$2;$4"
      ${EndIf}
      StrCpy $4 ""
      ${IfThen} $5 == "" ${|} ${ExitDo} ${|}
    ${Else}
      StrCpy $4 "$4$5"
    ${EndIf}
    IntOp $6 $6 + 1
  ${Loop}
  Pop $7
  Pop $6
  Pop $5
  Pop $4
FunctionEnd
!macroend
!insertmacro DEFINE_PATH_WITHOUT ""
!insertmacro DEFINE_PATH_WITHOUT "un."

!macro TELL_ENVIRONMENT_CHANGED
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
!macroend

Section "!$(SecProgramsName)" SecPrograms
  SectionIn RO
  SetOutPath "$INSTDIR"
  !include "${STAGE_FILES}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
!ifdef HAVE_WINDOW
  CreateShortcut "$SMPROGRAMS\Jaso_Kit.lnk" "$INSTDIR\Jaso_Kit.exe"
  !define DISPLAY_ICON "$INSTDIR\Jaso_Kit.exe,0"
!else
  !define DISPLAY_ICON "$INSTDIR\jasokit.exe,0"
!endif
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Jaso_Kit ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "${DISPLAY_ICON}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Off unless chosen: a machine-wide PATH entry is for those who want the
; command everywhere (/ADDTOPATH when silent).
Section /o "$(SecPathName)" SecPath
  ClearErrors
  ReadRegStr $0 HKLM "${ENVIRONMENT_KEY}" "Path"
  ${If} ${Errors}
    ; Missing, or longer than the installer's strings hold: never write back
    ; a shortened PATH.
    MessageBox MB_ICONEXCLAMATION|MB_OK "$(PathTooLong)" /SD IDOK
    DetailPrint "$(PathTooLong)"
    Return
  ${EndIf}
  StrCpy $1 "$INSTDIR"
  Call PathWithout
  ${IfThen} $3 == 1 ${|} Return ${|}
  StrLen $4 "$0;$INSTDIR"
  ${If} $4 >= ${NSIS_MAX_STRLEN}
    MessageBox MB_ICONEXCLAMATION|MB_OK "$(PathTooLong)" /SD IDOK
    DetailPrint "$(PathTooLong)"
    Return
  ${EndIf}
  StrCpy $5 $0 1 -1
  ${If} $0 == ""
  ${OrIf} $5 == ";"
    StrCpy $0 "$0$INSTDIR"
  ${Else}
    StrCpy $0 "$0;$INSTDIR"
  ${EndIf}
  WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" $0
  !insertmacro TELL_ENVIRONMENT_CHANGED
SectionEnd

Function .onInit
  SetShellVarContext all
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/ADDTOPATH" $R1
  ${IfNot} ${Errors}
    SectionSetFlags ${SecPath} ${SF_SELECTED}
  ${EndIf}
FunctionEnd

Function un.onInit
  SetShellVarContext all
FunctionEnd

Section "Uninstall"
  !include "${STAGE_DELETES}"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: whatever the user put there stays.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Jaso_Kit.lnk"
  ClearErrors
  ReadRegStr $0 HKLM "${ENVIRONMENT_KEY}" "Path"
  ${If} ${Errors}
    DetailPrint "$(PathUnchanged)"
  ${Else}
    StrCpy $1 "$INSTDIR"
    Call un.PathWithout
    ${If} $3 == 1
      WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" $2
      !insertmacro TELL_ENVIRONMENT_CHANGED
    ${EndIf}
  ${EndIf}
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
