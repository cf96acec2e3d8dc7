# Installs the shared library, its public headers, a CMake package and a pkg-config file.
include(CMakePackageConfigHelpers)

install(TARGETS NRDEnrollmentCPPWrapper EXPORT NRDEnrollmentCPPWrapperTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The public headers: every header at the top of NRDEnrollmentCPPWrapper/ (the reference
# documents the same set).
file(GLOB QMT_PUBLIC_HEADERS CONFIGURE_DEPENDS
  ${CMAKE_CURRENT_SOURCE_DIR}/NRDEnrollmentCPPWrapper/*.h)
install(FILES ${QMT_PUBLIC_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/NRDEnrollmentCPPWrapper)
if(WIN32)
  # The C interface's module-definition file, from which another toolchain makes its import
  # library (lib /def:, dlltool): the functions QmtSR_c.h declares; a test checks that the DLL
  # exports exactly these.
  include(${CMAKE_CURRENT_LIST_DIR}/CInterfaceNames.cmake)
  set(QMT_C_HEADER ${CMAKE_CURRENT_SOURCE_DIR}/NRDEnrollmentCPPWrapper/QmtSR_c.h)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${QMT_C_HEADER})
  qmt_c_interface_names(${QMT_C_HEADER} qmt_c_names)
  list(JOIN qmt_c_names "\n  " qmt_c_exports)
  file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/NRDEnrollmentCPPWrapper.def
    CONTENT "LIBRARY NRDEnrollmentCPPWrapper.dll\nEXPORTS\n  ${qmt_c_exports}\n")
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/NRDEnrollmentCPPWrapper.def
    DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()
install(EXPORT NRDEnrollmentCPPWrapperTargets
  NAMESPACE NRDEnrollmentCPPWrapper::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/NRDEnrollmentCPPWrapper)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/NRDEnrollmentCPPWrapperConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/NRDEnrollmentCPPWrapperConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/NRDEnrollmentCPPWrapper)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/NRDEnrollmentCPPWrapperConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/NRDEnrollmentCPPWrapperConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/NRDEnrollmentCPPWrapperConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/NRDEnrollmentCPPWrapper)
# The pkg-config file locates itself, so the package works wherever the tree is installed
# (`cmake --install --prefix ...` included); absolute install folders are kept as given.
foreach(kind LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${kind}}")
    set(QMT_PC_${kind} "${CMAKE_INSTALL_${kind}}")
  else()
    set(QMT_PC_${kind} "\${prefix}/${CMAKE_INSTALL_${kind}}")
  endif()
endforeach()
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(QMT_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH QMT_PC_UP /pc/${CMAKE_INSTALL_LIBDIR}/pkgconfig /pc)
  string(REGEX REPLACE "/$" "" QMT_PC_UP "${QMT_PC_UP}")
  set(QMT_PC_PREFIX "\${pcfiledir}/${QMT_PC_UP}")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/NRDEnrollmentCPPWrapper.pc.in
  ${CMAKE_CURRENT_BINARY_DIR}/NRDEnrollmentCPPWrapper.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/NRDEnrollmentCPPWrapper.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
