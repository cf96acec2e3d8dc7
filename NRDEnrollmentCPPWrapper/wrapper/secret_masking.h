// Hides the "secret_code" value of an enrolment message before the message is logged.
#ifndef NRD_WRAPPER_SECRET_MASKING_H
#define NRD_WRAPPER_SECRET_MASKING_H

#include <string>
#include <vector>

namespace SRCppWrap::detail {

// True when the message mentions "secret_code" anywhere.
bool HasSecretCode(const std::string& message);

// A copy of the message for the log. With a string value after the first "secret_code" key,
// the characters between the value's quotes become "XXXX" and everything else stays as sent.
// A number or a literal becomes "XXXX" up to the next ',' or '}'; a nested object or array,
// an unterminated string, or a "secret_code" that is not followed by a quote and a colon hides
// the rest of the message. The value is never shown.
std::string MaskSecretCode(const std::string& message);

// A copy of a JSON text for the log with each of `secrets` (non-empty values the wrapper knows)
// hidden in every spelling: a string literal whose value contains one, read with its escapes
// ("\/", "\u004f") or as written, becomes "XXXX" between its quotes; a secret written
// anywhere else becomes "XXXX" too.
std::string MaskSecretValues(const std::string& text, const std::vector<std::string>& secrets);

}  // namespace SRCppWrap::detail

#endif
