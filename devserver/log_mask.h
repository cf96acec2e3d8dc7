// The request log is often pasted into tickets and CI output: secrets in it keep only their
// last two characters, enough to tell two of them apart.
#pragma once

#include <string>

namespace devserver {

inline std::string maskSecret(const std::string& secret) {
  if (secret.size() <= 2) return std::string(secret.size(), '*');
  return std::string(secret.size() - 2, '*') + secret.substr(secret.size() - 2);
}

}  // namespace devserver
