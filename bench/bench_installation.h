// A host installation for the workflow benchmarks: a fresh folder with the host's drive layout,
// the dev server's settings and the PIN file, made the library's drive root and entered at the
// host's working folder.
#ifndef QMT_BENCH_BENCH_INSTALLATION_H
#define QMT_BENCH_BENCH_INSTALLATION_H

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace qmt_bench {

// Returns an error text, or "" with `folder` set. In memory when the machine offers it: disk
// flushes (the server's database, the seed) are not what the benchmarks measure.
inline std::string MakeInstallation(const char* name, const char* settings, const char* pin,
                                    std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  const fs::path base = fs::is_directory("/dev/shm") ? "/dev/shm" : fs::temp_directory_path();
  std::string pattern = (base / (std::string(name) + "-XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) return "mkdtemp failed";
  folder = pattern;
  for (const char* sub : {"C/APP/qmt/GEN", "C/APP/qmt/BIN", "C/APP/qmt/log", "C/log"}) {
    fs::create_directories(folder / sub);
  }
  std::ofstream(folder / "settings.json") << settings;
  std::ofstream(folder / "C/APP/qmt/GEN/ToolvexPin.txt") << pin;
  ::setenv("QMT_DRIVE_ROOT", folder.c_str(), 1);
  fs::current_path(folder / "C/APP/qmt/BIN");
  return "";
}

}  // namespace qmt_bench

#endif
