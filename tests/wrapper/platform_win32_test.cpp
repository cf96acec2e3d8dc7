// The Windows platform calls, run as a Windows program: paths exactly as the host gives them,
// shared access, and a seed replace that must not be lost while another handle reads the file.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "wrapper/log_sandbox.h"

namespace {

namespace fs = std::filesystem;
namespace platform = SRCppWrap::platform;
using qmt_test::LogSandbox;
using qmt_test::ReadFile;

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  return names;
}

TEST(WindowsPlatform, PathsAreUsedAsTheHostGivesThem) {
  for (const char* path : {R"(C:\APP\qmt\GEN\seed.data)", R"(..\log\SREnrollmentlog.log)", "x"}) {
    EXPECT_EQ(platform::NativePath(path), path);
  }
  LogSandbox sandbox;  // the working directory is <tmp>\a\b\c
  std::FILE* log = platform::OpenShared(R"(..\log\SREnrollmentlog.log)", "a");
  ASSERT_NE(log, nullptr);
  std::fclose(log);
  EXPECT_TRUE(fs::exists(sandbox.EnrollmentLog()));
}

TEST(WindowsPlatform, SharedOpensLetOthersReadAndWrite) {
  LogSandbox sandbox;
  std::FILE* writer = platform::OpenShared("shared.log", "a");
  ASSERT_NE(writer, nullptr);
  const HANDLE other = ::CreateFileA("shared.log", GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(other, INVALID_HANDLE_VALUE);
  if (other != INVALID_HANDLE_VALUE) ::CloseHandle(other);
  std::fclose(writer);
}

TEST(WindowsPlatform, ReplaceIsNotLostWhileAReaderHoldsTheFile) {
  LogSandbox sandbox;
  ASSERT_TRUE(platform::ReplaceFileAtomically("seed.data", "old seed"));
  std::FILE* reader = platform::OpenShared("seed.data", "rb");  // as another process would
  ASSERT_NE(reader, nullptr);
  const bool replaced = platform::SaveFile("seed.data", "new seed").saved;
  std::fclose(reader);
  EXPECT_TRUE(replaced);
  EXPECT_EQ(ReadFile("seed.data"), "new seed");
  EXPECT_EQ(Names("."), std::vector<std::string>{"seed.data"});  // no temporary left behind
}

}  // namespace
