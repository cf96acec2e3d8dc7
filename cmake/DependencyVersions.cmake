# The versions of libcurl and OpenSSL the library is built against, as the texts `qmtsr --version`
# prints: the Windows DLL carries them in its version resource (they are linked in), and the
# Linux qmtsr is compiled with them. From the dependencies' own headers; a Windows dependency
# prefix made by scripts/windows-deps.sh adds the Debian source version it was built from
# (its .complete lists them), which tells a patched release from the upstream one of that number.
# Sets QMT_LIBCURL_VERSION_TEXT and QMT_OPENSSL_VERSION_TEXT, e.g. "7.88.1 (Debian curl 7.88.1-10)".

function(qmt_header_version out header macro)
  set(version "?")
  if(EXISTS "${header}")
    file(STRINGS "${header}" line REGEX "^#[ \t]*define[ \t]+${macro}[ \t]+\"[^\"]*\"")
    if(line MATCHES "\"([^\"]*)\"")
      set(version "${CMAKE_MATCH_1}")
    endif()
  endif()
  set(${out} "${version}" PARENT_SCOPE)
endfunction()

set(qmt_curl_header "")
foreach(dir IN LISTS CURL_INCLUDE_DIRS)
  if(NOT qmt_curl_header AND EXISTS "${dir}/curl/curlver.h")
    set(qmt_curl_header "${dir}/curl/curlver.h")
  endif()
endforeach()
qmt_header_version(QMT_LIBCURL_VERSION_TEXT "${qmt_curl_header}" LIBCURL_VERSION)
set(QMT_OPENSSL_VERSION_TEXT "${OPENSSL_VERSION}")

if(QMT_WINDOWS_DEPS AND EXISTS "${QMT_WINDOWS_DEPS}/.complete")
  file(STRINGS "${QMT_WINDOWS_DEPS}/.complete" qmt_sources)
  foreach(entry IN LISTS qmt_sources)
    if(entry MATCHES "^curl (.+)$")
      string(APPEND QMT_LIBCURL_VERSION_TEXT " (Debian curl ${CMAKE_MATCH_1})")
    elseif(entry MATCHES "^openssl (.+)$")
      string(APPEND QMT_OPENSSL_VERSION_TEXT " (Debian openssl ${CMAKE_MATCH_1})")
    endif()
  endforeach()
endif()
