# Makes the redistributable archive of a Windows build and checks it: the files a host
# installation needs are in it, and its DLL and qmtsr.exe import only Windows' own DLLs (the C
# and C++ runtimes and every dependency are linked in).
# Usage: cmake -DBUILD_DIR=... -DWORK=... -DOBJDUMP=...-objdump -P check_archive.cmake
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
             include/NRDEnrollmentCPPWrapper/QmtSR.h include/NRDEnrollmentCPPWrapper/QmtSRExport.h)
  if(NOT EXISTS "${top}/${file}")
    message(FATAL_ERROR "${archive} lacks ${file}")
  endif()
endforeach()

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
