# The portable release folder that stations run from: the three executables with the start script
# beside them (the settings file is written there), an empty Data/ for the archive, a desktop entry
# with its icon, the README and the licence. Qt and QCustomPlot come from the system's packages.
if(WIN32 OR NOT REGISTRATOR_BUILD_UI)
  return()
endif()

install(TARGETS Registrator registrator-archive registrator-scan RUNTIME DESTINATION .)
install(PROGRAMS packaging/registrator.sh DESTINATION .)
install(FILES packaging/registrator.desktop packaging/registrator.svg packaging/registrator.service README.md LICENSE
        DESTINATION .)
# Qt's own dialogs speak Russian from these; a station's Qt may come without them.
find_file(REGISTRATOR_QTBASE_RU qtbase_ru.qm PATHS /usr/share/qt6/translations NO_DEFAULT_PATH)
if(REGISTRATOR_QTBASE_RU)
  install(FILES ${REGISTRATOR_QTBASE_RU} DESTINATION translations)
endif()
# The program never makes Data/ itself, so the release carries it.
install(DIRECTORY DESTINATION Data)

string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" REGISTRATOR_RELEASE_SYSTEM)
set(REGISTRATOR_RELEASE_NAME "registrator-${REGISTRATOR_VERSION}-${REGISTRATOR_RELEASE_SYSTEM}")
set(CPACK_GENERATOR TGZ)
set(CPACK_PACKAGE_NAME registrator)
set(CPACK_PACKAGE_VENDOR "Registrator")
set(CPACK_PACKAGE_VERSION ${REGISTRATOR_VERSION})
set(CPACK_PACKAGE_FILE_NAME ${REGISTRATOR_RELEASE_NAME})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
include(CPack)
