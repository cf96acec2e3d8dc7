# Makes the redistributable archive of a Windows build and checks it: the files a host
# installation needs are in it, its .def file is the C interface's, its DLL and qmtsr.exe
# import only Windows' own DLLs (the C and C++ runtimes and every dependency are linked in), and
# name no folder of the build machine (on a host a path of this machine may mean a folder that
# any user can create).
# Usage: cmake -DBUILD_DIR=... -DWORK=... -DOBJDUMP=...-objdump [-DSOURCE_DIR=... -DDEPS_DIR=...]
#   [-DC_HOST=tests/c_boundary/c_host.c -DDLLTOOL=...-dlltool -DCC=...-gcc] -P check_archive.cmake
cmake_minimum_required(VERSION 3.25)
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${WORK}")
run("${CMAKE_CPACK_COMMAND}" -G ZIP --config "${BUILD_DIR}/CPackConfig.cmake" -B "${WORK}")
file(GLOB archive "${WORK}/*.zip")
if(NOT archive)
  message(FATAL_ERROR "cpack made no ZIP in ${WORK}:\n${out}")
endif()
file(MAKE_DIRECTORY "${WORK}/unpacked")
run("${CMAKE_COMMAND}" -E chdir "${WORK}/unpacked" "${CMAKE_COMMAND}" -E tar xf "${archive}")
get_filename_component(top "${archive}" NAME_WLE)
set(top "${WORK}/unpacked/${top}")
foreach(file bin/NRDEnrollmentCPPWrapper.dll bin/qmtsr.exe lib/NRDEnrollmentCPPWrapper.dll.a
             lib/NRDEnrollmentCPPWrapper.def include/NRDEnrollmentCPPWrapper/QmtSR.h
             include/NRDEnrollmentCPPWrapper/QmtSRExport.h include/NRDEnrollmentCPPWrapper/QmtSR_c.h
             include/NRDEnrollmentCPPWrapper/QmtSRPortable.h)
  if(NOT EXISTS "${top}/${file}")
    message(FATAL_ERROR "${archive} lacks ${file}")
  endif()
endforeach()

# The module-definition file names the DLL and exactly the C functions of the shipped header,
# and the shipped DLL exports each of them: an import library made from it links.
include("${CMAKE_CURRENT_LIST_DIR}/../../cmake/CInterfaceNames.cmake")
qmt_c_interface_names("${top}/include/NRDEnrollmentCPPWrapper/QmtSR_c.h" declared)
file(STRINGS "${top}/lib/NRDEnrollmentCPPWrapper.def" def_lines)
list(POP_FRONT def_lines library exports)
list(TRANSFORM def_lines STRIP)
list(SORT def_lines)
if(NOT library STREQUAL "LIBRARY NRDEnrollmentCPPWrapper.dll" OR NOT exports STREQUAL "EXPORTS"
   OR NOT def_lines STREQUAL declared)
  message(FATAL_ERROR "lib/NRDEnrollmentCPPWrapper.def is not the C interface's:\n"
    "${library}\n${exports}\n${def_lines}")
endif()
run("${OBJDUMP}" -p "${top}/bin/NRDEnrollmentCPPWrapper.dll")
foreach(name IN LISTS declared)
  if(NOT out MATCHES "\n\t\\[ *[0-9]+\\] ${name}\n")
    message(FATAL_ERROR "the archive's DLL does not export ${name} of its .def file")
  endif()
endforeach()
# As another toolchain would: an import library made from the .def alone, and the C host
# linked with it and the shipped header (C_HOST: its source; DLLTOOL, CC: the toolchain's).
if(C_HOST)
  run("${DLLTOOL}" -d "${top}/lib/NRDEnrollmentCPPWrapper.def" -l "${WORK}/from_def.lib")
  run("${CC}" -o "${WORK}/c_host_from_def.exe" "${C_HOST}" -I "${top}/include"
      "${WORK}/from_def.lib")
  message(STATUS "the C host links with an import library made from the .def")
endif()

# Present on every Windows since XP (msvcrt.dll: the system's C runtime that mingw-w64 uses).
set(system_dlls advapi32 bcrypt crypt32 gdi32 kernel32 msvcrt ole32 secur32 shell32 user32 version
    ws2_32)
foreach(binary bin/NRDEnrollmentCPPWrapper.dll bin/qmtsr.exe)
  run("${OBJDUMP}" -p "${top}/${binary}")
  string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${out}")
  if(NOT imports)
    message(FATAL_ERROR "${binary} imports no DLL: not a Windows program?")
  endif()
  foreach(import IN LISTS imports)
    string(REGEX REPLACE "^DLL Name: (.+)\\.[dD][lL][lL]$" "\\1" name "${import}")
    string(TOLOWER "${name}" name)
    if(NOT name IN_LIST system_dlls AND NOT name STREQUAL "nrdenrollmentcppwrapper")  # qmtsr's
      message(FATAL_ERROR "${binary} in ${archive} imports ${import}, not a Windows DLL")
    endif()
  endforeach()
  message(STATUS "${binary}: ${imports}")
endforeach()

# The build machine's folders: home, temporary files, the dependency cache, source and build.
set(machine_paths "/tmp/")
foreach(folder "$ENV{HOME}" "${DEPS_DIR}" "${SOURCE_DIR}" "${BUILD_DIR}")
  if(folder MATCHES "^/.")
    string(REGEX REPLACE "/$" "" folder "${folder}")
    list(APPEND machine_paths "${folder}")
  endif()
endforeach()
get_filename_component(deps_cache "${DEPS_DIR}" DIRECTORY)
if(deps_cache MATCHES "^/.")
  list(APPEND machine_paths "${deps_cache}")
endif()
foreach(binary bin/NRDEnrollmentCPPWrapper.dll bin/qmtsr.exe)
  file(STRINGS "${top}/${binary}" narrow LENGTH_MINIMUM 4)
  file(STRINGS "${top}/${binary}" wide LENGTH_MINIMUM 4 ENCODING UTF-16LE)
  foreach(text IN LISTS narrow wide)
    foreach(path IN LISTS machine_paths)
      string(FIND "${text}" "${path}" at)
      if(at GREATER_EQUAL 0)
        message(FATAL_ERROR "${binary} in ${archive} names ${path} of the build machine: ${text}")
      endif()
    endforeach()
  endforeach()
endforeach()
message(STATUS "no build-machine path in the binaries (checked: ${machine_paths})")
