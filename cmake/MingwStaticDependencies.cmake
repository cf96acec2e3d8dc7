# The Windows dependencies are static archives (scripts/windows-deps.sh): their users need the
# static-library define and the system libraries the archives call into.
set_property(TARGET CURL::libcurl APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS CURL_STATICLIB)
set_property(TARGET CURL::libcurl APPEND PROPERTY INTERFACE_LINK_LIBRARIES
  ws2_32 crypt32 bcrypt secur32 advapi32)
set_property(TARGET OpenSSL::Crypto APPEND PROPERTY INTERFACE_LINK_LIBRARIES
  ws2_32 crypt32 bcrypt user32 advapi32)
