// The Windows platform calls, run as a Windows program: paths exactly as the host gives them,
// shared access, and a seed replace that must not be lost while another handle reads the file.
#include <windows.h>

#include <sddl.h>

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

// A holder that ends without releasing, as a killed process does, leaves the mutex abandoned,
// which the next one takes as its own.
TEST(WindowsPlatform, AnAbandonedInstallationLockIsTakenOver) {
  // A path of its own: the end-to-end tests under the same Wine server hold the real seed's lock.
  const char seed[] = R"(C:\APP\qmt\GEN\abandoned-lock-test.data)";
  std::intptr_t held = platform::kNoSystemLock, next = platform::kNoSystemLock;
  std::thread([&] { platform::SystemLockAcquire(seed, 0, held); }).join();
  EXPECT_NE(held, platform::kNoSystemLock);
  EXPECT_TRUE(platform::SystemLockAcquire(seed, 0, next));
  EXPECT_NE(next, platform::kNoSystemLock);
  platform::SystemLockRelease(next);
  ::CloseHandle(reinterpret_cast<HANDLE>(held));
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
