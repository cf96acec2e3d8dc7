// A host that sets an opt-in setting with SetEnvironmentVariable and then loads the DLL gets
// it: with QMT_LOG_SECRETS=0 the seed read at the parameter set-up is logged masked.
#include <windows.h>

#include "QmtSR.h"
#include "wrapper/log_sandbox.h"

namespace {

TEST(WindowsHost, TheLibrarySeesWhatTheHostSetBeforeLoadingIt) {
  const qmt_test::LogSandbox sandbox;
  const qmt_test::fs::path gen = R"(C:\APP\qmt\GEN)";
  qmt_test::fs::create_directories(gen);
  std::ofstream(gen / "seed.data") << "seed-in-clear";
  ASSERT_TRUE(::SetEnvironmentVariableA("QMT_LOG_SECRETS", "0"));
  const HMODULE library = ::LoadLibraryA("NRDEnrollmentCPPWrapper.dll");
  ASSERT_NE(library, nullptr);
  // The exported member that logs a secret without a server, called on a host's object.
  using SetUp = void (*)(SRCppWrap::QmtSR*);
  const auto setUp = reinterpret_cast<SetUp>(
      reinterpret_cast<void*>(::GetProcAddress(library, "_ZN9SRCppWrap5QmtSR15SetSRParametersEv")));
  ASSERT_NE(setUp, nullptr);
  SRCppWrap::QmtSR host;
  setUp(&host);
  ::FreeLibrary(library);
  qmt_test::fs::remove(gen / "seed.data");
  const std::string log = qmt_test::ReadFile(sandbox.EnrollmentLog());
  EXPECT_NE(log.find("seed data in file: \nXXXX"), std::string::npos) << log;
  EXPECT_EQ(log.find("seed-in-clear"), std::string::npos);
}

}  // namespace
