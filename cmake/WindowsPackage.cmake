# The redistributable archive of one Windows architecture: `cpack -G ZIP` in the build folder
# makes NRDEnrollmentCPPWrapper-VERSION-windows-ARCH.zip from the install rules (the DLL and
# qmtsr.exe in bin/, the import library in lib/, the headers in include/, the CMake package and
# the pkg-config file under lib/).
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-windows-${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)  # the debug information stays in the build folder
include(CPack)
