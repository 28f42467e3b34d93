# Builds the Windows installer, NAME.msi, from the staged Windows folder: CPack runs this script
# as its External generator (cmake/Package.cmake), after `cmake --install` into
# CPACK_TEMPORARY_DIRECTORY. wixl (msitools) builds the database from cmake/msi/mirtak.wxs.in;
# wixl rejects <Environment>, so msibuild then adds the Environment table and the two standard
# actions that use it: the folder is appended to the system PATH on install, and that part of
# PATH alone is taken away again on uninstall.

# The programs were found when the build was configured (cmake/Requirements.cmake).
set(MIRTAK_WIXL ${CPACK_MIRTAK_WIXL})
set(MIRTAK_MSIBUILD ${CPACK_MIRTAK_MSIBUILD})
if(NOT MIRTAK_WIXL OR NOT MIRTAK_MSIBUILD)
  message(FATAL_ERROR "The Windows installer needs wixl and msibuild (Debian: wixl, msitools)")
endif()

# One upgrade code per machine kind, never changed: a newer MIRTAK replaces an older one.
if(CPACK_MIRTAK_MSI_ARCH STREQUAL "x64")
  set(upgrade_code 6b1f3a52-8f0e-4f61-9a57-0d7d3b1c2e40)
  set(menu_guid 3d0f6a8e-2b57-4c1d-9e83-51a7c6f2d904)
  set(program_files ProgramFiles64Folder)
  set(win64 yes)
else()
  set(upgrade_code 0c9e4d27-53a1-4b8e-a6f2-7e15d9c04b83)
  set(menu_guid 8a4c2e19-6f3b-4d70-b5e1-0c9d7a3f6e28)
  set(program_files ProgramFilesFolder)
  set(win64 no)
endif()

# Every staged file, the tool first (the component's key), named relative to the staging folder,
# where wixl runs: it takes no absolute source paths. An Id may hold letters, digits, _ and .
# alone, so mirtak-shape.exe is mirtak_shape.exe there.
file(GLOB_RECURSE staged LIST_DIRECTORIES false RELATIVE ${CPACK_TEMPORARY_DIRECTORY}
  ${CPACK_TEMPORARY_DIRECTORY}/*)
list(SORT staged)
list(FILTER staged EXCLUDE REGEX "/")
list(REMOVE_ITEM staged MIRTAK.exe)
set(file_elements
  "            <File Id=\"MIRTAK.exe\" Source=\"MIRTAK.exe\" KeyPath=\"yes\"/>\n")
foreach(name IN LISTS staged)
  string(MAKE_C_IDENTIFIER "${name}" id)
  string(APPEND file_elements
    "            <File Id=\"${id}\" Source=\"${name}\"/>\n")
endforeach()
# The Start-menu entries open these two.
foreach(name IN ITEMS drop-logs.bat mirtak.html)
  if(NOT name IN_LIST staged)
    message(FATAL_ERROR "The Windows folder lacks ${name}, which the Start menu opens")
  endif()
endforeach()

set(work ${CPACK_TOPLEVEL_DIRECTORY}/msi)
file(MAKE_DIRECTORY ${work})
configure_file(${CPACK_MIRTAK_SOURCE_DIR}/cmake/msi/mirtak.wxs.in ${work}/mirtak.wxs @ONLY)
set(msi ${work}/${CPACK_PACKAGE_FILE_NAME}.msi)
file(REMOVE ${msi})

execute_process(COMMAND ${MIRTAK_WIXL} --arch ${CPACK_MIRTAK_MSI_ARCH} -o ${msi} ${work}/mirtak.wxs
  WORKING_DIRECTORY ${CPACK_TEMPORARY_DIRECTORY}
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "wixl could not build ${msi} (${status}):\n${output}")
endif()
# PATH's entry: the name's prefixes say = set on install, - removed on uninstall, * the system's
# variable; the value's [~] keeps what PATH holds and appends the folder after it. (The queries
# stay quoted arguments of execute_process: through a CMake list, the ; would split them.)
execute_process(COMMAND ${MIRTAK_MSIBUILD} ${msi}
  -q "CREATE TABLE `Environment` (`Environment` CHAR(72) NOT NULL, `Name` CHAR(255) NOT NULL LOCALIZABLE, `Value` CHAR(255) LOCALIZABLE, `Component_` CHAR(72) NOT NULL PRIMARY KEY `Environment`)"
  -q "INSERT INTO `Environment` (`Environment`, `Name`, `Value`, `Component_`) VALUES ('PATH', '=-*PATH', '[~];[INSTALLDIR]', 'Tool')"
  -q "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('RemoveEnvironmentStrings', 3300)"
  -q "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('WriteEnvironmentStrings', 5200)"
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "msibuild could not add PATH to ${msi} (${status}):\n${output}")
endif()
set(CPACK_EXTERNAL_BUILT_PACKAGES ${msi})
