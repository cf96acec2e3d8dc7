// The entry header of the wrapper log: "\n[YYYY-MM-DD.hh:mm:ss] - [pid - <process id>] ".
#ifndef QMT_TESTS_SUPPORT_LOG_ENTRIES_H
#define QMT_TESTS_SUPPORT_LOG_ENTRIES_H

#include <cstddef>
#include <string>

namespace qmt_test {

// The length of the header at `at` carrying this process id, or 0 when there is none.
inline std::size_t HeaderLength(const std::string& text, std::size_t at, const std::string& pid) {
  static const char kStamp[] = "\n[####-##-##.##:##:##] - [pid - ";
  const std::size_t stamp = sizeof kStamp - 1;
  if (text.size() < at + stamp) return 0;
  for (std::size_t i = 0; i < stamp; ++i) {
    const char c = text[at + i];
    if (kStamp[i] == '#' ? c < '0' || c > '9' : c != kStamp[i]) return 0;
  }
  return text.compare(at + stamp, pid.size() + 2, pid + "] ") == 0 ? stamp + pid.size() + 2 : 0;
}

}  // namespace qmt_test

#endif
