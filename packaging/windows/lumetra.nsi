; The Windows installer: the program, the calibration loader and its console
; twin, the language file and the two texts in one folder (by default
; $PROGRAMFILES\Lumetra), Start menu shortcuts for all users, the loader's
; watcher at every user's login, and the uninstall information. Silent with /S
; (/D=<folder> last); /NOLOGIN leaves the login component out.
;
; The build passes, as -D definitions:
;   GENERATED  the folder of the generated lumetra_version.nsh
;   STAGE      the folder of the files to install, exactly as the archive holds them
;   ICON       the program's icon
;   OUTFILE    the installer to write

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "${GENERATED}/lumetra_version.nsh"
!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumetra"
; Where and under which name the watcher is registered to start at login: by
; the installer under HKLM for every user, by `lumetra-loader /install` under
; the HKCU of the user who runs it. One watcher runs per session whichever
; starts it, so both at once do no harm.
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "Lumetra Loader"
!define MENU_FOLDER "$SMPROGRAMS\Lumetra"
; Starts the watcher; the installer opens it to start the watcher as the
; desktop's user.
!define WATCHER_SHORTCUT "${MENU_FOLDER}\Lumetra Loader.lnk"

Name "Lumetra"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Lumetra"
; Installing again goes into the folder of the installation there is.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Lumetra ${LUMETRA_VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_LICENSE "${STAGE}\License.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${LUMETRA_VERSION_DOTTED}"
VIFileVersion "${LUMETRA_VERSION_DOTTED}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "Pelo"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "Lumetra Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${LUMETRA_VERSION_DOTTED}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Copyright (c) 2026 Pelo"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "Lumetra"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${LUMETRA_VERSION_DOTTED}"

; Removes a login entry only when it starts this installation's loader: one
; that another copy of the loader registered is not ours to take. The
; comparison ignores case, as paths do.
!macro DeleteOwnRunValue ROOT
  ReadRegStr $0 ${ROOT} "${RUN_KEY}" "${RUN_VALUE}"
  ${If} $0 == '"$INSTDIR\lumetra-loader.exe" /watch'
    DeleteRegValue ${ROOT} "${RUN_KEY}" "${RUN_VALUE}"
  ${EndIf}
!macroend

Section "Lumetra" SecProgram
  SectionIn RO

  ; A watcher of an earlier installation runs from the files about to be
  ; replaced: the new loader stops it, whatever state that installation is in.
  InitPluginsDir
  SetOutPath "$PLUGINSDIR"
  File "${STAGE}\lumetra-loader.exe"
  ExecWait '"$PLUGINSDIR\lumetra-loader.exe" /stop /quiet'
  Delete "$PLUGINSDIR\lumetra-loader.exe"

  ; The output folder is also the working folder of the shortcuts below: the
  ; program reads its language file from the folder it is started in.
  SetOutPath "$INSTDIR"
  File "${STAGE}\lumetra.exe"
  File "${STAGE}\lumetra-loader.exe"
  File "${STAGE}\lumetra-loader.com"
  File "${STAGE}\EnglishLanguage"
  File "${STAGE}\ReadMe.txt"
  File "${STAGE}\License.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "${MENU_FOLDER}"
  CreateShortCut "${MENU_FOLDER}\Lumetra.lnk" "$INSTDIR\lumetra.exe"
  CreateShortCut "${MENU_FOLDER}\Load calibration now.lnk" "$INSTDIR\lumetra-loader.exe"
  CreateShortCut "${MENU_FOLDER}\Reset to linear.lnk" "$INSTDIR\lumetra-loader.exe" "/reset"
  ; Starts the watcher again after Exit, without a terminal.
  CreateShortCut "${WATCHER_SHORTCUT}" "$INSTDIR\lumetra-loader.exe" "/watch"
  CreateShortCut "${MENU_FOLDER}\Uninstall Lumetra.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Lumetra"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${LUMETRA_VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Pelo"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\lumetra.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; In KiB, as the list of installed programs shows it.
  ${GetSize} "$INSTDIR" "/S=0K /G=0" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; For every user: the installer runs elevated, maybe with an administrator's
; credentials typed in for a standard user, whose own key is not the one this
; process would see as HKCU.
Section "Load the calibration at login" SecLogin
  WriteRegStr HKLM "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\lumetra-loader.exe" /watch'
  ; Started as the desktop's user, not with this process's rights and
  ; account, so that its icon, commands and settings are that user's: the
  ; running shell is asked to open the shortcut, and explorer.exe started with
  ; a path hands it to the shell that owns the desktop. Not waited for.
  Exec '"$WINDIR\explorer.exe" "${WATCHER_SHORTCUT}"'
SectionEnd

; Installing again without the login component takes the login entries of
; the earlier installation away (its watcher was stopped above); earlier
; versions wrote the installing user's.
Section "-"
  ${IfNot} ${SectionIsSelected} ${SecLogin}
    !insertmacro DeleteOwnRunValue HKLM
    !insertmacro DeleteOwnRunValue HKCU
  ${EndIf}
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "The program, the calibration loader and its console twin, the language file and the Start menu shortcuts."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecLogin} "Loads every display's calibration at each login of every user, and again whenever it is lost."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
  ; Installed for every user of the machine, so are the shortcuts.
  SetShellVarContext all
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/NOLOGIN" $1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecLogin}
  ${EndIf}
FunctionEnd

Function un.onInit
  SetShellVarContext all
FunctionEnd

Section "Uninstall"
  ; Ends a running watcher and removes the current user's login entry.
  ExecWait '"$INSTDIR\lumetra-loader.exe" /uninstall /quiet'
  ; Every user's, and the current user's when no loader could run.
  !insertmacro DeleteOwnRunValue HKLM
  !insertmacro DeleteOwnRunValue HKCU

  Delete "${MENU_FOLDER}\Lumetra.lnk"
  Delete "${MENU_FOLDER}\Load calibration now.lnk"
  Delete "${MENU_FOLDER}\Reset to linear.lnk"
  Delete "${WATCHER_SHORTCUT}"
  Delete "${MENU_FOLDER}\Uninstall Lumetra.lnk"
  RMDir "${MENU_FOLDER}"

  ; A file still in use goes at the next restart.
  Delete /REBOOTOK "$INSTDIR\lumetra.exe"
  Delete /REBOOTOK "$INSTDIR\lumetra-loader.exe"
  Delete /REBOOTOK "$INSTDIR\lumetra-loader.com"
  Delete "$INSTDIR\EnglishLanguage"
  Delete "$INSTDIR\ReadMe.txt"
  Delete "$INSTDIR\License.txt"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: anything the user put there stays.
  RMDir /REBOOTOK "$INSTDIR"

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
