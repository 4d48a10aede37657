; The setup program of ZEMA Data Loader for 64-bit Windows. It installs the
; programs, README.txt, LICENSE.txt and the icon into Program Files, adds a
; Start-menu entry and an entry in Apps & Features, and writes the
; uninstaller, which takes exactly these away again: a settings file put
; beside the programs stays, and with it their folder.
;
; The components page offers a desktop shortcut to the dialog program,
; unticked. Silent, for administrators: setup.exe /S [/DESKTOP]
; [/D=C:\Other Folder] (/D= last, not quoted) makes the desktop shortcut
; only with /DESKTOP; uninstall.exe /S.
;
; Built by packaging/windows/CMakeLists.txt (target windows-release), which
; defines VERSION ("1.0"), VERSION_QUAD ("1.0.0.0"), COPYRIGHT, PROGRAMS (folder of the
; built .exe files), FILES (folder of the texts and the icon), WELCOME (the
; first page's picture), UNINSTALLER
; (its file name, by which the programs know their installed copy), OUTFILE,
; and WITH_LOADER when the dialog program zema-loader.exe is built.

; A 64-bit Unicode setup program: the 32-bit one needs a 32-bit part of
; Windows that some systems (Wine without its 32-bit part) do not have.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel admin

!include MUI2.nsh
!include FileFunc.nsh
!include Sections.nsh

!define PRODUCT "ZEMA Data Loader"
!define PUBLISHER "ZEMA Data Loader developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"
!define DESKTOP_SHORTCUT "$DESKTOP\${PRODUCT}.lnk"
!define ICON_FILE "zema-loader.ico"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
; A newer version goes where the installed one is.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

!define MUI_ICON "${FILES}/${ICON_FILE}"
!define MUI_UNICON "${FILES}/${ICON_FILE}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${WELCOME}"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${FILES}/LICENSE.txt"
!ifdef WITH_LOADER
  !insertmacro MUI_PAGE_COMPONENTS
!endif
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The programs speak these three; the setup program takes the one of the
; user's Windows, English for any other.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"
!insertmacro MUI_LANGUAGE "Japanese"

; The components page's entries.
LangString ProgramsSection ${LANG_ENGLISH} "Programs"
LangString ProgramsSection ${LANG_GERMAN} "Programme"
LangString ProgramsSection ${LANG_JAPANESE} "プログラム"
LangString DesktopSection ${LANG_ENGLISH} "Desktop shortcut"
LangString DesktopSection ${LANG_GERMAN} "Verknuepfung auf dem Desktop"
LangString DesktopSection ${LANG_JAPANESE} "デスクトップのショートカット"

VIProductVersion "${VERSION_QUAD}"
VIFileVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "${COPYRIGHT}"

; Every file the setup program puts into the folder besides the uninstaller:
; one list for the install and the uninstall.
!macro ForEachInstalledFile _action
  !ifdef WITH_LOADER
    !insertmacro ${_action} "${PROGRAMS}" "zema-loader.exe"
  !endif
  !insertmacro ${_action} "${PROGRAMS}" "zema-transfer.exe"
  !insertmacro ${_action} "${FILES}" "README.txt"
  !insertmacro ${_action} "${FILES}" "LICENSE.txt"
  !insertmacro ${_action} "${FILES}" "${ICON_FILE}"
!macroend
!macro InstallFile _folder _name
  File "${_folder}/${_name}"
!macroend
!macro RemoveFile _folder _name
  Delete "$INSTDIR\${_name}"
!macroend

; Always installed: shown on the components page, ticked and fixed.
Section "$(ProgramsSection)" ProgramsSection
  SectionIn RO
  ; The Start-menu entry is every user's.
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  !insertmacro ForEachInstalledFile InstallFile
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  !ifdef WITH_LOADER
    CreateShortcut "${SHORTCUT}" "$INSTDIR\zema-loader.exe" "" "$INSTDIR\${ICON_FILE}" 0
  !else
    ; Without the dialog program the entry opens a command prompt in the
    ; programs' folder with zema-transfer's help.
    CreateShortcut "${SHORTCUT}" "$SYSDIR\cmd.exe" "/k zema-transfer.exe --help" \
      "$INSTDIR\${ICON_FILE}" 0
  !endif

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${ICON_FILE}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  ; Apps & Features' help and about: the user guide is the README.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "HelpLink" "$INSTDIR\README.txt"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Readme" "$INSTDIR\README.txt"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Comments" \
    "Copies parameter sets, the brightness-compensation table and pattern images between a ZEMA sensor and files over RS-232."
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Contact" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; In KiB, as Apps & Features shows it.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

!ifdef WITH_LOADER
; Not ticked unless the user ticks it, or a silent install asks with
; /DESKTOP.
Section /o "$(DesktopSection)" DesktopSection
  SetShellVarContext all
  CreateShortcut "${DESKTOP_SHORTCUT}" "$INSTDIR\zema-loader.exe" "" "$INSTDIR\${ICON_FILE}" 0
SectionEnd

Function .onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/DESKTOP" $1
  IfErrors +2
    SectionSetFlags ${DesktopSection} ${SF_SELECTED}
FunctionEnd
!endif

Section "Uninstall"
  SetShellVarContext all
  Delete "${SHORTCUT}"
  Delete "${DESKTOP_SHORTCUT}"
  !insertmacro ForEachInstalledFile RemoveFile
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Not /r: what someone else put into the folder stays, and so does the
  ; folder then.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
