// The PIN file and prompt on Windows: the file lives where the host keeps it,
// C:\APP\qmt\GEN\ToolvexPin.txt, and the prompt turns the console's echo off.
#ifdef _WIN32

#include <windows.h>

#include <fstream>
#include <iostream>

#include "pin_file.h"

namespace qmtsr {

namespace {

constexpr const char* kGenFolders[] = {"C:\\APP", "C:\\APP\\qmt", "C:\\APP\\qmt\\GEN"};
constexpr char kPinPath[] = "C:\\APP\\qmt\\GEN\\ToolvexPin.txt";

}  // namespace

bool PromptPin(std::string& pin, std::string& error) {
  const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  DWORD saved = 0;
  const bool console = ::GetConsoleMode(input, &saved) != 0;
  if (console) {
    std::cerr << "PIN: " << std::flush;
    ::SetConsoleMode(input, saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  }
  const bool read = static_cast<bool>(std::getline(std::cin, pin));
  if (console) {
    ::SetConsoleMode(input, saved);
    std::cerr << "\n";
  }
  if (!pin.empty() && pin.back() == '\r') pin.pop_back();
  if (!read || pin.empty()) {
    error = "no PIN given";
    return false;
  }
  return true;
}

bool WritePinFile(const std::string& pin, std::string& error) {
  for (const char* folder : kGenFolders) {
    if (::CreateDirectoryA(folder, nullptr) == 0 && ::GetLastError() != ERROR_ALREADY_EXISTS) {
      error = std::string("cannot create folder ") + folder;
      return false;
    }
  }
  std::ofstream file(kPinPath, std::ios::binary | std::ios::trunc);
  if (!file || !file.write(pin.data(), static_cast<std::streamsize>(pin.size())) || !file.flush()) {
    error = std::string("cannot write the PIN file ") + kPinPath;
    return false;
  }
  return true;
}

}  // namespace qmtsr

#endif  // _WIN32
