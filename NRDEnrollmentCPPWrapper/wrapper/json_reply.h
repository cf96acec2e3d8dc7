// Reads the string members of the enrolment back end's JSON replies.
#ifndef NRD_WRAPPER_JSON_REPLY_H
#define NRD_WRAPPER_JSON_REPLY_H

#include <string>

namespace SRCppWrap::detail {

// Parses the reply (up to its first zero byte) and returns the named member's string value;
// "" when the reply is not a JSON object, lacks the member, or holds it as anything but a
// string. A value holding "\u0000" reads up to it.
std::string JsonStringMember(const std::string& reply, const char* name);

// True when the reply (up to its first zero byte) is one whole JSON document.
bool IsJsonDocument(const std::string& reply);

}  // namespace SRCppWrap::detail

#endif
