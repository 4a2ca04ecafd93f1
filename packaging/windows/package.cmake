# Builds the Windows installer and the portable zip from the runtime files:
#   cmake -DBUILD_DIR=build-windows -DVERSION=1.0.0 -DSOURCE_DIR=. [-DOBJDUMP=...] [-DMAKENSIS=...] -P package.cmake
# or, for files staged some other way, -DSTAGE=FOLDER instead of BUILD_DIR.
# Writes jasokit-VERSION-win64-setup.exe and jasokit-VERSION-win64.zip into
# OUT_DIR (default BUILD_DIR).
cmake_minimum_required(VERSION 3.25)
foreach(required VERSION SOURCE_DIR)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "package.cmake needs -D${required}=...")
  endif()
endforeach()
if(NOT OBJDUMP)
  set(OBJDUMP x86_64-w64-mingw32-objdump)
endif()
if(NOT MAKENSIS)
  set(MAKENSIS makensis)
endif()
set(name "jasokit-${VERSION}-win64")
if(DEFINED BUILD_DIR)
  if(NOT OUT_DIR)
    set(OUT_DIR "${BUILD_DIR}")
  endif()
  set(STAGE "${OUT_DIR}/windows-stage/${name}")
  file(REMOVE_RECURSE "${STAGE}")
  execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${STAGE}" --component runtime --strip
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
elseif(NOT DEFINED STAGE OR NOT DEFINED OUT_DIR)
  message(FATAL_ERROR "package.cmake needs -DBUILD_DIR=..., or -DSTAGE=... and -DOUT_DIR=...")
endif()
get_filename_component(STAGE "${STAGE}" ABSOLUTE)
get_filename_component(OUT_DIR "${OUT_DIR}" ABSOLUTE)
if(NOT EXISTS "${STAGE}/jasokit.exe")
  message(FATAL_ERROR "${STAGE} holds no jasokit.exe")
endif()

# Every DLL a program or library imports must come with it or with Windows.
set(windows_dlls
  advapi32 bcrypt comctl32 comdlg32 crypt32 dwmapi gdi32 gdiplus imm32 iphlpapi kernel32 msimg32 msvcrt
  ole32 oleaut32 rpcrt4 secur32 shell32 shlwapi user32 userenv uxtheme version winmm ws2_32 wsock32 ucrtbase)
file(GLOB_RECURSE staged RELATIVE "${STAGE}" "${STAGE}/*")
list(SORT staged)
string(TOLOWER "${staged}" staged_lower)
foreach(file IN LISTS staged)
  if(NOT file MATCHES "\\.(exe|dll)$")
    continue()
  endif()
  execute_process(COMMAND "${OBJDUMP}" -p "${STAGE}/${file}" OUTPUT_VARIABLE headers COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
  foreach(import IN LISTS imports)
    string(REGEX REPLACE "DLL Name: (.+)\\.[dD][lL][lL]$" "\\1" dll "${import}")
    string(TOLOWER "${dll}" dll)
    if(NOT dll IN_LIST windows_dlls AND NOT dll MATCHES "^api-ms-win-" AND NOT "${dll}.dll" IN_LIST staged_lower)
      message(FATAL_ERROR "${file} needs ${dll}.dll, which is neither shipped nor part of Windows")
    endif()
  endforeach()
endforeach()

# The installer's file lists, so that the uninstaller removes exactly what
# was installed.
set(files_nsh "")
set(deletes_nsh "")
set(folders "")
set(current_folder "")
foreach(file IN LISTS staged)
  get_filename_component(folder "${file}" DIRECTORY)
  string(REPLACE "/" "\\" windows_file "${file}")
  string(REPLACE "/" "\\" windows_folder "${folder}")
  if(NOT folder STREQUAL current_folder)
    set(current_folder "${folder}")
    string(APPEND files_nsh "SetOutPath \"$INSTDIR\\${windows_folder}\"\n")
    list(APPEND folders "${windows_folder}")
  endif()
  string(APPEND files_nsh "File \"${STAGE}/${file}\"\n")
  string(APPEND deletes_nsh "Delete \"$INSTDIR\\${windows_file}\"\n")
endforeach()
list(REMOVE_DUPLICATES folders)
list(REMOVE_ITEM folders "")
list(SORT folders ORDER DESCENDING)  # a folder's subfolders first
foreach(folder IN LISTS folders)
  string(APPEND deletes_nsh "RMDir \"$INSTDIR\\${folder}\"\n")
endforeach()
string(APPEND files_nsh "SetOutPath \"$INSTDIR\"\n")
set(lists_dir "${OUT_DIR}/windows-stage")
file(WRITE "${lists_dir}/files.nsh" "${files_nsh}")
file(WRITE "${lists_dir}/deletes.nsh" "${deletes_nsh}")

set(setup "${OUT_DIR}/${name}-setup.exe")
set(nsis_defines -DVERSION=${VERSION} -DSTAGE_FILES=${lists_dir}/files.nsh
  -DSTAGE_DELETES=${lists_dir}/deletes.nsh -DOUTFILE=${setup} -DICON=${SOURCE_DIR}/res/images/icon.ico)
if(EXISTS "${STAGE}/Jaso_Kit.exe")
  list(APPEND nsis_defines -DHAVE_WINDOW)
endif()
execute_process(COMMAND "${MAKENSIS}" -V2 -WX ${nsis_defines} "${SOURCE_DIR}/packaging/windows/jasokit.nsi"
                COMMAND_ERROR_IS_FATAL ANY)

# The portable zip: one folder that runs wherever it is unpacked.
set(zip "${OUT_DIR}/${name}.zip")
file(REMOVE "${zip}")
get_filename_component(stage_parent "${STAGE}" DIRECTORY)
get_filename_component(stage_name "${STAGE}" NAME)
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${zip}" --format=zip "${stage_name}"
                WORKING_DIRECTORY "${stage_parent}" COMMAND_ERROR_IS_FATAL ANY)
message(STATUS "Windows packages: ${setup} ${zip}")
