// A host that sets an opt-in setting with SetEnvironmentVariable and then loads the DLL gets
// it: with QMT_LOG_SECRETS=0 the seed read at the parameter set-up is logged masked.
#include <windows.h>

#include <new>

#include "QmtSR.h"
#include "wrapper/log_sandbox.h"

namespace {

// Members called through GetProcAddress as functions taking the object first: on 32-bit Windows
// a member takes its object in ECX (thiscall).
#if defined(__i386__)
#define QMT_MEMBER_CALL __attribute__((thiscall))
#else
#define QMT_MEMBER_CALL
#endif
using Member = void(QMT_MEMBER_CALL*)(SRCppWrap::QmtSR*);

Member MemberOf(HMODULE library, const char* name) {
  return reinterpret_cast<Member>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
}

TEST(WindowsHost, TheLibrarySeesWhatTheHostSetBeforeLoadingIt) {
  const qmt_test::LogSandbox sandbox;
  const qmt_test::fs::path gen = R"(C:\APP\qmt\GEN)";
  qmt_test::fs::create_directories(gen);
  std::ofstream(gen / "seed.data") << "seed-in-clear";
  ASSERT_TRUE(::SetEnvironmentVariableA("QMT_LOG_SECRETS", "0"));
  const HMODULE library = ::LoadLibraryA("NRDEnrollmentCPPWrapper.dll");
  ASSERT_NE(library, nullptr);
  // The exported member that logs a secret without a server, called on a host's object, which
  // the library's own destructor then ends (it releases the installation lock the set-up took).
  const Member setUp = MemberOf(library, "_ZN9SRCppWrap5QmtSR15SetSRParametersEv");
  const Member destroy = MemberOf(library, "_ZN9SRCppWrap5QmtSRD1Ev");
  ASSERT_NE(setUp, nullptr);
  ASSERT_NE(destroy, nullptr);
  alignas(SRCppWrap::QmtSR) unsigned char storage[sizeof(SRCppWrap::QmtSR)];
  auto* host = new (storage) SRCppWrap::QmtSR;
  setUp(host);
  destroy(host);
  ::FreeLibrary(library);
  qmt_test::fs::remove(gen / "seed.data");
  const std::string log = qmt_test::ReadFile(sandbox.EnrollmentLog());
  EXPECT_NE(log.find("seed data in file: \nXXXX"), std::string::npos) << log;
  EXPECT_EQ(log.find("seed-in-clear"), std::string::npos);
}

}  // namespace
