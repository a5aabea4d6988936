; The Windows installer of ZTK DORVANE (NSIS 3, 64-bit).
; makensis -DVERSION=x.y.z.w -DBINDIR=<programs, manual, LEGGIMI.txt> -DOUTFILE=<setup.exe> dorvane.nsi
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"

!define PRODUCT "ZTK DORVANE"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define OWN_KEY "Software\ZTK Engineering\DORVANE"

Name "${PRODUCT}"
BrandingText "ZTK Engineering - ${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${OWN_KEY}" "InstallDir"
VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1040 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1040 "FileDescription" "Installazione di ${PRODUCT}"
VIAddVersionKey /LANG=1040 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1040 "CompanyName" "ZTK Engineering"
VIAddVersionKey /LANG=1040 "LegalCopyright" "ZTK Engineering"

!define MUI_FINISHPAGE_RUN "$INSTDIR\dorvane.exe"
!define MUI_FINISHPAGE_RUN_PARAMETERS "/NONID"
!define MUI_FINISHPAGE_RUN_TEXT "Avvia ${PRODUCT}"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\LEGGIMI.txt"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Apri LEGGIMI.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Italian"

; A running program holds its file: ask it to close as TASKKILL without /F
; does (its normal shutdown, as DORVANE asks KORA1), and wait until the
; file can go.
!macro CLOSE_PROGRAM EXE
  nsExec::Exec 'taskkill /IM ${EXE}'
  Pop $0
  ${If} $0 == 0
    StrCpy $1 0
    ${Do}
      Delete "$INSTDIR\${EXE}"
      ${IfNot} ${FileExists} "$INSTDIR\${EXE}"
        ${Break}
      ${EndIf}
      Sleep 500
      IntOp $1 $1 + 1
    ${LoopUntil} $1 >= 60
  ${EndIf}
!macroend
!macro CLOSE_DORVANE un
Function ${un}CloseDorvane
  !insertmacro CLOSE_PROGRAM dorvane.exe
FunctionEnd
!macroend
!insertmacro CLOSE_DORVANE ""
!insertmacro CLOSE_DORVANE "un."

Section "${PRODUCT}" SecProgram
  SectionIn RO
  SetShellVarContext all
  Call CloseDorvane
  SetOutPath "$INSTDIR"
  ; DORVCONF.txt and ztk_log.txt are the user's: never part of the package,
  ; so an upgrade leaves them as they are.
  File "${BINDIR}\dorvane.exe"
  File "${BINDIR}\kkora1.exe"
  File "${BINDIR}\dorvane-convert.exe"
  File "${BINDIR}\dorvane-ledger.exe"
  File "${BINDIR}\dorvane-web.exe"
  File "${BINDIR}\ManDorvane.pdf"
  File "${BINDIR}\LEGGIMI.txt"
  ; DORVANE saves DORVCONF.txt beside its program: the shop's users may write there.
  nsExec::Exec '"$SYSDIR\icacls.exe" "$INSTDIR" /grant *S-1-5-32-545:(OI)(CI)M'
  Pop $0
  ; The "Manuale" menu looks in DORVANE's data folder first, then beside
  ; dorvane.exe.
  SetOutPath "$APPDATA\ZTKDORVANE"
  File "${BINDIR}\ManDorvane.pdf"
  SetOutPath "$INSTDIR"

  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\dorvane.exe" "/NONID"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Manuale di ${PRODUCT}.lnk" "$INSTDIR\ManDorvane.pdf"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Simulatore KORA1 (kkora1).lnk" "$INSTDIR\kkora1.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Disinstalla ${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${OWN_KEY}" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "ZTK Engineering"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\dorvane.exe"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

Section "Avvio all'accesso" SecAutostart
  ; DORVANE lives in the notification area of whoever logs on: the machine's
  ; Run key starts it for every user. A second user logged on at the same
  ; time gets a copy that says so and ends (its single-instance guard holds
  ; across the machine's sessions).
  WriteRegStr HKLM "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\dorvane.exe"'
SectionEnd

Section "-Autostart off"
  ${IfNot} ${SectionIsSelected} ${SecAutostart}
    DeleteRegValue HKLM "${RUN_KEY}" "${PRODUCT}"
  ${EndIf}
  ; Versions up to 1.1.0.4 started DORVANE for the installing account only,
  ; from its own Run key: the machine's entry replaces it.
  DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
SectionEnd

LangString DESC_PROGRAM ${LANG_ITALIAN} "DORVANE, il simulatore kkora1, dorvane-convert, dorvane-ledger, dorvane-web e il manuale."
LangString DESC_AUTOSTART ${LANG_ITALIAN} "Avvia DORVANE nell'area di notifica quando un utente accede a Windows (per tutti gli utenti del PC)."
!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} $(DESC_PROGRAM)
  !insertmacro MUI_DESCRIPTION_TEXT ${SecAutostart} $(DESC_AUTOSTART)
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
  SetRegView 64
  ; An upgrade keeps the choice made at the first installation, whether it
  ; is in the machine's Run key or, from an older version, in the account's.
  ReadRegStr $0 HKLM "${UNINST_KEY}" "UninstallString"
  ReadRegStr $1 HKLM "${RUN_KEY}" "${PRODUCT}"
  ReadRegStr $2 HKCU "${RUN_KEY}" "${PRODUCT}"
  ${If} $0 != ""
  ${AndIf} $1 == ""
  ${AndIf} $2 == ""
    !insertmacro UnselectSection ${SecAutostart}
  ${EndIf}
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/NOAUTOSTART" $R1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecAutostart}
  ${EndIf}
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  Call un.CloseDorvane
  !insertmacro CLOSE_PROGRAM kkora1.exe
  Delete "$INSTDIR\dorvane.exe"
  Delete "$INSTDIR\kkora1.exe"
  Delete "$INSTDIR\dorvane-convert.exe"
  Delete "$INSTDIR\dorvane-ledger.exe"
  Delete "$INSTDIR\dorvane-web.exe"
  Delete "$INSTDIR\ManDorvane.pdf"
  Delete "$INSTDIR\LEGGIMI.txt"
  Delete "$INSTDIR\uninstall.exe"
  ; DORVCONF.txt and ztk_log.txt stay for a later installation; the folder
  ; goes only when nothing else is in it. The event log is in KORA1's folder.
  RMDir "$INSTDIR"
  Delete "$APPDATA\ZTKDORVANE\ManDorvane.pdf"
  RMDir "$APPDATA\ZTKDORVANE"
  RMDir /r "$SMPROGRAMS\${PRODUCT}"
  DeleteRegValue HKLM "${RUN_KEY}" "${PRODUCT}"
  DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  DeleteRegKey HKLM "${UNINST_KEY}"
  DeleteRegKey HKLM "${OWN_KEY}"
  DeleteRegKey /ifempty HKLM "Software\ZTK Engineering"
SectionEnd
