# The Windows release (target windows-release of the windows preset), tried
# by release_check.sh in a prefix of its own whose server ends with its last
# program: wineserver -w, which waits for the uninstaller, never returns
# while a server is kept running. The checks share that prefix in turn.
set(ZEMA_WINDOWS_RELEASE "${CMAKE_SOURCE_DIR}/build-windows/release" CACHE PATH
    "Folder of the Windows release that the Wine release checks try")
set(setup "${ZEMA_WINDOWS_RELEASE}/zema-loader-${PROJECT_VERSION}-setup.exe")
set(zip "${ZEMA_WINDOWS_RELEASE}/zema-loader-${PROJECT_VERSION}-windows-x64.zip")
if(NOT EXISTS "${setup}" OR NOT EXISTS "${zip}")
  message(STATUS "Wine release checks not registered; they need ${setup} and ${zip}")
  return()
endif()
set(release_prefix "${CMAKE_BINARY_DIR}/wine-release-prefix")
add_test(NAME WineReleasePrefix.Create
  COMMAND bash ${prefix_script} create ${release_prefix} transient)
add_test(NAME WineReleasePrefix.Remove COMMAND bash ${prefix_script} remove ${release_prefix})
set_tests_properties(WineReleasePrefix.Create PROPERTIES
  FIXTURES_SETUP wine_release_prefix TIMEOUT 300)
set_tests_properties(WineReleasePrefix.Remove PROPERTIES FIXTURES_CLEANUP wine_release_prefix)
foreach(check install loader zip)
  add_test(NAME WineRelease.${check}
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/release_check.sh ${check})
  set_tests_properties(WineRelease.${check} PROPERTIES
    FIXTURES_REQUIRED wine_release_prefix RESOURCE_LOCK wine_release_prefix
    SKIP_RETURN_CODE 77 TIMEOUT 300
    ENVIRONMENT "WINEPREFIX=${release_prefix};ZEMA_SETUP=${setup};ZEMA_ZIP=${zip};ZEMA_SIM=$<TARGET_FILE:zema-sim>")
endforeach()
