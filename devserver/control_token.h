// The bearer token that guards /control/*: any local user can reach the port, only the one who
// can read the token file (mode 0600, beside the database) can steer the server.
#pragma once

#include <string>

namespace devserver {

// PATH.control-token for the database PATH; "" for ":memory:", which has no folder of its own.
std::string controlTokenPath(const std::string& dbPath);

// Writes the token (and a newline) to path, readable and writable by the owner only.
bool writeControlToken(const std::string& path, const std::string& token, std::string& error);

// True when authorization is "Bearer " and exactly the token (compared in constant time).
bool bearerMatches(const std::string& authorization, const std::string& token);

}  // namespace devserver
