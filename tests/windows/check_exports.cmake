# Checks a Windows DLL's export table: every exported name is a member of SRCppWrap::QmtSR or a
# function of the C interface, and the C names are exactly those QmtSR_c.h declares, each a
# plain C name (demangling leaves it as it is: no C++ type in its signature).
# Usage: cmake -DDLL=... -DOBJDUMP=...-objdump -DCXXFILT=...-c++filt [-DHEADER=QmtSR_c.h]
#   -P check_exports.cmake
if(NOT HEADER)
  set(HEADER "${CMAKE_CURRENT_LIST_DIR}/../../NRDEnrollmentCPPWrapper/QmtSR_c.h")
endif()
include("${CMAKE_CURRENT_LIST_DIR}/../../cmake/CInterfaceNames.cmake")
qmt_c_interface_names("${HEADER}" declared)

execute_process(COMMAND "${OBJDUMP}" -p "${DLL}" RESULT_VARIABLE rc OUTPUT_VARIABLE dump)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p failed on ${DLL}")
endif()
# The names follow the "[Ordinal/Name Pointer] Table" heading, one "[ n] name" a line.
string(FIND "${dump}" "[Ordinal/Name Pointer] Table" at)
if(at EQUAL -1)
  message(FATAL_ERROR "${DLL} has no export table")
endif()
string(SUBSTRING "${dump}" ${at} -1 table)
string(REGEX MATCHALL "\n\t\\[ *[0-9]+\\] [^\n]+" rows "${table}")
set(foreign "")
set(own 0)
set(c_names "")
foreach(row IN LISTS rows)
  string(REGEX REPLACE "^\n\t\\[ *[0-9]+\\] " "" mangled "${row}")
  # -n: the names in the table carry no extra leading underscore, on i686 too.
  execute_process(COMMAND "${CXXFILT}" -n "${mangled}" OUTPUT_VARIABLE name OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(name MATCHES "^SRCppWrap::QmtSR::")
    math(EXPR own "${own} + 1")
  elseif(mangled MATCHES "^QmtSR_[A-Za-z0-9_]+$" AND name STREQUAL mangled)
    list(APPEND c_names "${mangled}")
  else()
    string(APPEND foreign "  ${name}\n")
  endif()
endforeach()
if(foreign)
  message(FATAL_ERROR "names outside SRCppWrap::QmtSR and the C interface exported by ${DLL}:\n"
    "${foreign}")
endif()
if(own EQUAL 0)
  message(FATAL_ERROR "${DLL} exports no SRCppWrap::QmtSR member")
endif()
list(SORT c_names)
if(NOT c_names STREQUAL declared)
  set(missing ${declared})
  list(REMOVE_ITEM missing ${c_names})
  set(extra ${c_names})
  list(REMOVE_ITEM extra ${declared})
  message(FATAL_ERROR "${DLL}'s C names differ from ${HEADER}: not exported: ${missing}; "
    "not declared: ${extra}")
endif()
list(LENGTH c_names count)
message(STATUS "${DLL} exports ${own} members of SRCppWrap::QmtSR, the ${count} functions of the "
  "C interface, and nothing else")
