; The Windows setup program: puts the viewer, the renderer, the README and
; the samples in one folder, adds a Start-menu shortcut, offers Corvasi in
; "Open with" for .obj files and registers an uninstaller that takes all of
; that away again.
;
;   makensis -DARCH=win32|win64 -DSTAGE=FOLDER -DOUTFILE=SETUP.exe corvasi.nsi
;
; STAGE holds corvasi.exe, corvasi-render.exe, README.md and samples\, as
; scripts/package.sh lays them out. The version is the one of app/version.h.
;
; Run elevated, it installs for all users (Program Files, the machine's part
; of the registry, the common Start menu); otherwise for the current user
; (%LOCALAPPDATA%\Programs, HKEY_CURRENT_USER). /CurrentUser installs for the
; current user also when elevated. /S is silent; /D=FOLDER, last on the
; command line, names another folder.
;
; .obj files: Corvasi is always added to the type's OpenWithProgids. It
; becomes the program that opens them only when no other program has claimed
; them, or when the user ticks "Open .obj files with Corvasi" (/TakeObj on
; the command line); the program it replaces is written down and given the
; type back when Corvasi is uninstalled.

Unicode true
!ifndef ARCH | STAGE | OUTFILE
  !error "corvasi.nsi needs -DARCH=win32|win64, -DSTAGE=FOLDER and -DOUTFILE=FILE"
!endif
!if "${ARCH}" == "win64"
  Target amd64-unicode
!else if "${ARCH}" != "win32"
  !error "ARCH is win32 or win64, not ${ARCH}"
!endif

!searchparse /file "../app/version.h" '#define CORVASI_VERSION_TEXT "' VERSION '"'
!searchparse /file "../app/version.h" '#define CORVASI_VERSION_NUMBERS ' V1 ', ' V2 ', ' V3 ', ' V4

!define PRODUCT "Corvasi"
!define PUBLISHER "The Corvasi developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Corvasi"
!define PROGID "Corvasi.obj"
!define OBJ_KEY "Software\Classes\.obj"
!define PROGID_KEY "Software\Classes\${PROGID}"
!define APP_KEY "Software\Classes\Applications\corvasi.exe"
!define SHORTCUT "$SMPROGRAMS\Corvasi.lnk"
; In the uninstaller's registry key: the program that opened .obj files
; before Corvasi took them (empty: none), present only when it took them.
!define PREVIOUS_OBJ_VALUE "PreviousObjProgram"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel highest
SetCompressor /SOLID lzma
ShowInstDetails nevershow
ShowUninstDetails nevershow
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${V1}.${V2}.${V3}.${V4}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh

!define MUI_ICON "../app/corvasi.ico"
!define MUI_UNICON "../app/corvasi.ico"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\corvasi.exe"
!define MUI_FINISHPAGE_RUN_NOTCHECKED
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var AllUsers

; The files, one list for the installer and the uninstaller, so that the
; uninstaller removes exactly these and leaves anything else in the folder.
!macro CorvasiFiles DO
  !insertmacro ${DO} "corvasi.exe"
  !insertmacro ${DO} "corvasi-render.exe"
  !insertmacro ${DO} "README.md"
  !insertmacro ${DO} "samples\README.md"
  !insertmacro ${DO} "samples\stone.mtl"
  !insertmacro ${DO} "samples\tile.obj"
  !insertmacro ${DO} "samples\tile.png"
  !insertmacro ${DO} "samples\torus.mtl"
  !insertmacro ${DO} "samples\torus.obj"
  !insertmacro ${DO} "samples\torus.tga"
!macroend
!macro PutFile NAME
  File "/oname=${NAME}" "${STAGE}\${NAME}"
!macroend
!macro RemoveFile NAME
  Delete "$INSTDIR\${NAME}"
!macroend

; All users or the current user: the registry root (SHCTX), the Start menu
; and the default folder follow SetShellVarContext.
!macro UseAllUsers YES
  StrCpy $AllUsers ${YES}
  ${If} $AllUsers == 1
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
!macroend

Section "Corvasi" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  CreateDirectory "$INSTDIR\samples"
  !insertmacro CorvasiFiles PutFile
  WriteUninstaller "$INSTDIR\uninstall.exe"
  SetOutPath "$INSTDIR"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\corvasi.exe" "" "$INSTDIR\corvasi.exe" 0 SW_SHOWNORMAL "" \
    "View Wavefront OBJ meshes"

  ; The kind of file, and the program as a choice of "Open with".
  WriteRegStr SHCTX "${PROGID_KEY}" "" "Wavefront OBJ mesh"
  WriteRegStr SHCTX "${PROGID_KEY}\DefaultIcon" "" '"$INSTDIR\corvasi.exe",0'
  WriteRegStr SHCTX "${PROGID_KEY}\shell\open\command" "" '"$INSTDIR\corvasi.exe" "%1"'
  WriteRegStr SHCTX "${APP_KEY}" "FriendlyAppName" "${PRODUCT}"
  WriteRegStr SHCTX "${APP_KEY}\DefaultIcon" "" '"$INSTDIR\corvasi.exe",0'
  WriteRegStr SHCTX "${APP_KEY}\SupportedTypes" ".obj" ""
  WriteRegStr SHCTX "${APP_KEY}\shell\open\command" "" '"$INSTDIR\corvasi.exe" "%1"'
  WriteRegNone SHCTX "${OBJ_KEY}\OpenWithProgids" "${PROGID}"

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\corvasi.exe",0'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "Open .obj files with Corvasi" SecTakeObj
  ReadRegStr $0 SHCTX "${OBJ_KEY}" ""
  ${If} $0 != "${PROGID}"
    ; Written down once: installing again over ourselves keeps the first.
    ClearErrors
    ReadRegStr $1 SHCTX "${UNINSTALL_KEY}" "${PREVIOUS_OBJ_VALUE}"
    ${If} ${Errors}
      WriteRegStr SHCTX "${UNINSTALL_KEY}" "${PREVIOUS_OBJ_VALUE}" "$0"
    ${EndIf}
    WriteRegStr SHCTX "${OBJ_KEY}" "" "${PROGID}"
  ${EndIf}
SectionEnd

Section -Notify
  ; Explorer reads the associations again.
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

Function .onInit
  ; A 64-bit setup program runs only on 64-bit Windows, and sees the 64-bit
  ; registry.
  !if "${ARCH}" == "win64"
    SetRegView 64
  !endif
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/CurrentUser" $R1
  ${IfNot} ${Errors}
    !insertmacro UseAllUsers 0
  ${Else}
    UserInfo::GetAccountType
    Pop $R1
    ${If} $R1 == "Admin"
      !insertmacro UseAllUsers 1
    ${Else}
      !insertmacro UseAllUsers 0
    ${EndIf}
  ${EndIf}
  ; .obj files open with Corvasi when no program has claimed them (in the
  ; merged view that Explorer reads), or when asked.
  ReadRegStr $R1 HKCR ".obj" ""
  ${If} $R1 == ""
  ${OrIf} $R1 == "${PROGID}"
    !insertmacro SelectSection ${SecTakeObj}
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/TakeObj" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecTakeObj}
  ${EndIf}

  ; /D= has set $INSTDIR already.
  ${If} $INSTDIR == ""
    ${If} $AllUsers == 1
      !if "${ARCH}" == "win64"
        StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
      !else
        StrCpy $INSTDIR "$PROGRAMFILES32\${PRODUCT}"
      !endif
    ${Else}
      StrCpy $INSTDIR "$LOCALAPPDATA\Programs\${PRODUCT}"
    ${EndIf}
  ${EndIf}
FunctionEnd

Section Uninstall
  ; The .obj type goes back to the program that had it before Corvasi took
  ; it, unless another program has taken it since.
  ReadRegStr $0 SHCTX "${OBJ_KEY}" ""
  ${If} $0 == "${PROGID}"
    ClearErrors
    ReadRegStr $1 SHCTX "${UNINSTALL_KEY}" "${PREVIOUS_OBJ_VALUE}"
    ${If} $1 != ""
      WriteRegStr SHCTX "${OBJ_KEY}" "" "$1"
    ${Else}
      DeleteRegValue SHCTX "${OBJ_KEY}" ""
    ${EndIf}
  ${EndIf}
  DeleteRegValue SHCTX "${OBJ_KEY}\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifempty SHCTX "${OBJ_KEY}\OpenWithProgids"
  DeleteRegKey /ifempty SHCTX "${OBJ_KEY}"
  DeleteRegKey SHCTX "${PROGID_KEY}"
  DeleteRegKey SHCTX "${APP_KEY}"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"

  Delete "${SHORTCUT}"
  !insertmacro CorvasiFiles RemoveFile
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: files the user put there stay, and so do the folders.
  RMDir "$INSTDIR\samples"
  RMDir "$INSTDIR"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

Function un.onInit
  !if "${ARCH}" == "win64"
    SetRegView 64
  !endif
  ; Installed for all users when the machine's uninstall entry names this
  ; folder.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    !insertmacro UseAllUsers 1
  ${Else}
    !insertmacro UseAllUsers 0
  ${EndIf}
FunctionEnd
