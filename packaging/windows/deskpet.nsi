; The per-user installer of the Windows program: no administrator rights,
; into %LOCALAPPDATA%\Programs\deskpet, with a Start-menu entry and an entry
; in Apps & Features. The program counts itself as installed when
; uninstall.exe stands beside it, and then keeps its pets in %APPDATA%\deskpet,
; which neither the installer nor the uninstaller touches.
; Built by scripts/package-win32.sh:
;   makensis -DVERSION=1.11 -DEXE=... -DICON=... -DREADME=... -DOUTFILE=... deskpet.nsi

; 64-bit like the program, and Wine without its 32-bit half runs it.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\deskpet"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define TITLE "もこぽん (deskpet)"
!define SHORTCUT "$SMPROGRAMS\${TITLE}.lnk"

Name "${TITLE}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\deskpet"
BrandingText "deskpet ${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\deskpet.exe"
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"
!insertmacro MUI_LANGUAGE "English"

LangString RUNNING ${LANG_JAPANESE} "もこぽんが動いています。終了してから「再試行」を押してください。"
LangString RUNNING ${LANG_ENGLISH} "deskpet is running. Quit it, then press Retry."

; A running program cannot be replaced or removed: wait for the user to quit
; it (its tray menu saves the pets), or give up. Silently, give up at once.
!macro WAIT_NOT_RUNNING UN
Function ${UN}waitNotRunning
  retry:
  IfFileExists "$INSTDIR\deskpet.exe" 0 done
  ClearErrors
  FileOpen $0 "$INSTDIR\deskpet.exe" a
  ${If} ${Errors}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(RUNNING)" /SD IDCANCEL IDRETRY retry
    Abort
  ${EndIf}
  FileClose $0
  done:
FunctionEnd
!macroend
!insertmacro WAIT_NOT_RUNNING ""
!insertmacro WAIT_NOT_RUNNING "un."

Function .onInit
  Call waitNotRunning
FunctionEnd

Function un.onInit
  Call un.waitNotRunning
FunctionEnd

Section
  SetOutPath "$INSTDIR"
  File "/oname=deskpet.exe" "${EXE}"
  File "/oname=deskpet.ico" "${ICON}"
  File "/oname=readme.txt" "${README}"
  ; The program looks for exactly this name beside itself.
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\deskpet.exe" "" "$INSTDIR\deskpet.ico" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${TITLE}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\deskpet.ico"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; $R0 contains $R1 (case aside, as Windows compares paths): $R2 = 1, else 0.
Function un.contains
  StrLen $R3 $R1
  StrCpy $R4 0
  loop:
    StrCpy $R5 $R0 $R3 $R4
    StrCmp $R5 "" 0 +3
      StrCpy $R2 0
      Return
    StrCmp $R5 $R1 0 +3
      StrCpy $R2 1
      Return
    IntOp $R4 $R4 + 1
    Goto loop
FunctionEnd

Section "Uninstall"
  Delete "$INSTDIR\deskpet.exe"
  Delete "$INSTDIR\deskpet.ico"
  Delete "$INSTDIR\readme.txt"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: whatever else the user put there stays.
  RMDir "$INSTDIR"
  Delete "${SHORTCUT}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; Start at login, when it starts this copy; a portable copy's stays.
  ReadRegStr $R0 HKCU "${RUN_KEY}" "deskpet"
  StrCpy $R1 "$INSTDIR\deskpet.exe"
  Call un.contains
  ${If} $R2 == 1
    DeleteRegValue HKCU "${RUN_KEY}" "deskpet"
  ${EndIf}
SectionEnd
