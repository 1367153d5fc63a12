# The learners' Windows installer, Lumora-<version>-win64.exe: CPack's NSIS generator with this
# folder's template (NSIS.template.in, which hands CPack's values to installer.nsh). It installs
# for the learner alone, without administrator rights. Included by the top-level CMakeLists.txt
# on Windows, and by the placeholder project of scripts/check-installer.sh, which builds the
# installer with makensis on Linux so that the script cannot break unseen.
set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME Lumora)
set(CPACK_PACKAGE_VENDOR "Lumora team")
set(CPACK_PACKAGE_FILE_NAME "Lumora-${PROJECT_VERSION}-win64")
# Built against an engine that cannot play MP4 lessons: the name says so.
if(DEFINED LUMORA_ENGINE_PLAYS_MP4 AND NOT LUMORA_ENGINE_PLAYS_MP4)
  string(APPEND CPACK_PACKAGE_FILE_NAME "-no-mp4")
endif()
set(CPACK_PACKAGE_INSTALL_DIRECTORY Lumora)
set(CPACK_NSIS_DISPLAY_NAME "Lumora自动学习型浏览器")
set(CPACK_NSIS_MUI_ICON "${CMAKE_CURRENT_LIST_DIR}/../icons/lumora.ico")
set(CPACK_NSIS_LUMORA_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/installer.nsh")
set(CPACK_MODULE_PATH "${CMAKE_CURRENT_LIST_DIR}")
# A warning is an error: a script that drifts fails its build rather than the learner's install.
set(CPACK_NSIS_EXECUTABLE_PRE_ARGUMENTS -WX)
