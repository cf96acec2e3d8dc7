// The Windows platform calls, run as a Windows program: paths exactly as the host gives them,
// shared access, and a seed replace that must not be lost while another handle reads the file.
#include <windows.h>

#include <sddl.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "platform/Platform.h"
#include "platform/installation_lock_system.h"
#include "platform/owner_only_security.h"
#include "wrapper/log_sandbox.h"

namespace {

using namespace qmt_test;
namespace platform = SRCppWrap::platform;

TEST(WindowsPlatform, PathsAreUsedAsTheHostGivesThem) {
  for (const char* path : {R"(C:\APP\qmt\GEN\seed.data)", R"(..\log\SREnrollmentlog.log)", "x"}) {
    EXPECT_EQ(platform::NativePath(path), path);
  }
  LogSandbox sandbox;  // the working directory is <tmp>\a\b\c
  std::FILE* log = platform::OpenShared(R"(..\log\SREnrollmentlog.log)", "a");
  ASSERT_NE(log, nullptr);
  // Others may read and write the file while it is open.
  const HANDLE other = ::CreateFileA(R"(..\log\SREnrollmentlog.log)", GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(other, INVALID_HANDLE_VALUE);
  if (other != INVALID_HANDLE_VALUE) ::CloseHandle(other);
  std::fclose(log);
  EXPECT_TRUE(fs::exists(sandbox.EnrollmentLog()));
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
  EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 1);  // no temp
}

// Leftovers of an ended process that had this one's id hold the first temporary names; the
// replace takes the next ones and keeps the replaced file's attributes (a read-only seed takes
// the new content and stays read-only, as a POSIX file keeps its mode).
TEST(WindowsPlatform, ReplaceSkipsTakenNamesAndKeepsTheAttributes) {
  LogSandbox sandbox;
  const std::string taken = "seed.data.tmp-" + std::to_string(::GetCurrentProcessId()) + "-";
  for (const char* n : {"1", "2", "3"}) std::ofstream(taken + n) << "old seed";
  constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY;
  for (const DWORD attributes :
       {DWORD{FILE_ATTRIBUTE_HIDDEN}, DWORD{FILE_ATTRIBUTE_READONLY}, kKept}) {
    SCOPED_TRACE(attributes);
    ::SetFileAttributesA("seed.data", FILE_ATTRIBUTE_NORMAL);
    std::ofstream("seed.data") << "old seed";
    ASSERT_TRUE(::SetFileAttributesA("seed.data", attributes));
    std::string why;
    EXPECT_TRUE(platform::ReplaceFileAtomically("seed.data", "new seed", &why)) << why;
    EXPECT_EQ(ReadFile("seed.data"), "new seed");
    EXPECT_EQ(::GetFileAttributesA("seed.data") & kKept, attributes);
  }
  ::SetFileAttributesA("seed.data", FILE_ATTRIBUTE_NORMAL);  // so that the sandbox can go
}

// The lock is a byte-range lock on a file beside the seed: two handles (as two processes, in
// any sessions) exclude each other, any thread of the holder releases it, and a holder whose
// handle closes without a release (as a killed process's does) leaves it free.
TEST(WindowsPlatform, TheInstallationLockBelongsToItsProcessNotToAThread) {
  LogSandbox sandbox;  // the lock file is made beside the seed, here in the sandbox
  const char seed[] = "seed.data";
  std::intptr_t held = platform::kNoSystemLock, other = platform::kNoSystemLock;
  ASSERT_TRUE(platform::SystemLockAcquire(seed, 0, held));
  ASSERT_NE(held, platform::kNoSystemLock);
  EXPECT_FALSE(platform::SystemLockAcquire(seed, 0, other));  // the same thread included
  EXPECT_EQ(::GetFileAttributesA((std::string(seed) + ".lock").c_str()) & FILE_ATTRIBUTE_DIRECTORY,
            0U);
  ::CloseHandle(reinterpret_cast<HANDLE>(held));  // no release: the holder died
  ASSERT_TRUE(platform::SystemLockAcquire(seed, 0, other));
  EXPECT_EQ(platform::SystemLockRelease(other), "");

  const int first = 0, second = 0;
  std::thread([&] { ASSERT_TRUE(platform::AcquireInstallationLock(seed, &first, 0)); }).join();
  EXPECT_FALSE(platform::AcquireInstallationLock(seed, &second, 0));
  EXPECT_EQ(platform::ReleaseInstallationLock(seed, &first), "");  // from another thread
  EXPECT_TRUE(platform::AcquireInstallationLock(seed, &second, 0));
  EXPECT_EQ(platform::ReleaseInstallationLock(seed, &second), "");
}

// Another process holding the lock (this program again, started as a holder) keeps this one out
// until it ends; its end without a release frees the lock, as a killed host's would.
TEST(WindowsPlatform, TheInstallationLockExcludesAnotherProcess) {
  if (const char* held = std::getenv("QMT_TEST_LOCK_HOLDER")) {  // the holder's side
    std::intptr_t handle = platform::kNoSystemLock;
    ASSERT_TRUE(platform::SystemLockAcquire("seed.data", 0, handle));
    std::ofstream(held) << "held";
    for (int i = 0; i < 300 && !fs::exists("release"); ++i) ::Sleep(100);
    return;  // ends without a release
  }
  LogSandbox sandbox;
  char self[MAX_PATH];
  ASSERT_GT(::GetModuleFileNameA(nullptr, self, MAX_PATH), 0U);
  std::string command =
      std::string("\"") + self +
      "\" --gtest_filter=WindowsPlatform.TheInstallationLockExcludesAnotherProcess";
  ASSERT_TRUE(::SetEnvironmentVariableA("QMT_TEST_LOCK_HOLDER", "held"));
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  const BOOL started = ::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &child);
  ::SetEnvironmentVariableA("QMT_TEST_LOCK_HOLDER", nullptr);
  ASSERT_TRUE(started);
  for (int i = 0; i < 300 && !fs::exists("held"); ++i) ::Sleep(100);
  std::intptr_t mine = platform::kNoSystemLock;
  EXPECT_FALSE(platform::SystemLockAcquire("seed.data", 200, mine));
  std::ofstream("release") << "go";
  EXPECT_EQ(::WaitForSingleObject(child.hProcess, 60000), WAIT_OBJECT_0);
  ::CloseHandle(child.hThread);
  ::CloseHandle(child.hProcess);
  ASSERT_TRUE(platform::SystemLockAcquire("seed.data", 0, mine));
  EXPECT_EQ(platform::SystemLockRelease(mine), "");
}

// Wine keeps only Unix mode bits for files, so the descriptor the files are created with is
// checked itself: protected (nothing inherited), all access for the user, SYSTEM, Administrators.
TEST(WindowsPlatform, SecretFilesAreCreatedForTheUserSystemAndAdministratorsOnly) {
  SRCppWrap::platform::OwnerOnlySecurity security;
  ASSERT_NE(security.Attributes(), nullptr);
  char* sddl = nullptr;
  ASSERT_TRUE(::ConvertSecurityDescriptorToStringSecurityDescriptorA(
      security.Attributes()->lpSecurityDescriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
      &sddl, nullptr));
  const std::string dacl = sddl;
  ::LocalFree(sddl);
  EXPECT_EQ(dacl.rfind("D:P(A;;FA;;;S-1-5-", 0), 0u) << dacl;  // the user's own SID first
  EXPECT_EQ(dacl.substr(dacl.find(')')), ")(A;;FA;;;SY)(A;;FA;;;BA)") << dacl;
}

}  // namespace
