// No connection of the library's pool outlives the workflow or span that used it, nor an unload
// (the transcript tests show one connection per workflow and a connection the server dropped
// while idle replaced).
#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "workflow_fixture.h"
#include "wrapper/runtime_settings.h"

namespace qmt_e2e {
namespace {

// The three-argument MakeCURLRequest of the shared library, called as a function that takes
// the object first: a member's calling convention everywhere but on 32-bit Windows, where a
// member takes its object in ECX (thiscall) and the arguments would arrive shifted.
#if defined(_WIN32) && defined(__i386__)
#define QMT_MEMBER_CALL __attribute__((thiscall))
#else
#define QMT_MEMBER_CALL
#endif
using MakeCurlRequest = long(QMT_MEMBER_CALL*)(SRCppWrap::QmtSR*, std::string, std::string,
                                               std::string&);
using CreateSrObject = void*(QMT_MEMBER_CALL*)(SRCppWrap::QmtSR*);
constexpr char kCreateSrObject[] = "_ZN9SRCppWrap5QmtSR14CreateSRObjectEv";
constexpr char kMakeCurlRequest[] =
    "_ZN9SRCppWrap5QmtSR15MakeCURLRequestENSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEES6_"
    "RS6_";

// The server closes an idle connection only after 2 s: one gone before was closed by the unload.
TEST_F(WorkflowTest, UnloadingTheLibraryClosesItsPooledConnectionAndItLoadsAgain) {
  for (int cycle = 1; cycle <= 2; ++cycle) {
#ifdef _WIN32
    const HMODULE library = ::LoadLibraryA(QMT_SHARED_LIBRARY);
    const auto request = reinterpret_cast<MakeCurlRequest>(
        reinterpret_cast<void (*)()>(::GetProcAddress(library, kMakeCurlRequest)));
    const auto create = reinterpret_cast<CreateSrObject>(
        reinterpret_cast<void (*)()>(::GetProcAddress(library, kCreateSrObject)));
#else
    void* library = ::dlopen(QMT_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    const auto request = reinterpret_cast<MakeCurlRequest>(::dlsym(library, kMakeCurlRequest));
    const auto create = reinterpret_cast<CreateSrObject>(::dlsym(library, kCreateSrObject));
#endif
    ASSERT_NE(request, nullptr);
    ASSERT_NE(create, nullptr);
    SRCppWrap::QmtSR qmt{};
    std::string reply;
    EXPECT_NE(create(&qmt), nullptr);  // a span, whose connection stays until it ends
    for (int i = 0; i < 2; ++i) EXPECT_NE(request(&qmt, server_.url("/login"), "{}", reply), 0);
    EXPECT_GE(server_.OpenConnections(), 1);  // the pooled one
#ifdef _WIN32
    ::FreeLibrary(library);
#else
    ::dlclose(library);
#endif
    int open = 1;
    for (int waited = 0; (open = server_.OpenConnections()) != 0 && waited < 15; ++waited) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(open, 0);
  }
}

// The server would close an idle connection only after 2 s.
TEST_F(WorkflowTest, NoConnectionOutlivesAWorkflowARequestOrADestroyedHolder) {
  EnrolOrFail();
  const auto openAfterAWhile = [this] {
    int open = 1;
    for (int waited = 0; (open = server_.OpenConnections()) != 0 && waited < 15; ++waited) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return open;
  };
  const QuietStdout quiet;
  SRCppWrap::QmtSR login;
  Configure(login, 1);
  std::string otp, reply;
  ASSERT_EQ(login.GetOTPforAuthentication(otp), 0);
  EXPECT_EQ(openAfterAWhile(), 0);
  EXPECT_NE(login.MakeCURLRequest(server_.url("/login"), "{}", reply), 0);
  EXPECT_EQ(openAfterAWhile(), 0);
  SRCppWrap::detail::Settings().lockWaitMs = 150;
  {
    SRCppWrap::QmtSR holder;  // destroyed in its span, without CheckSeedValueAndPersist
    Configure(holder, 1);
    holder.CreateSRObject();
    holder.SetSRParameters();
    ASSERT_EQ(holder.GetOTP(otp), 0);
    EXPECT_EQ(server_.OpenConnections(), 1);
  }
  EXPECT_EQ(openAfterAWhile(), 0);
  EXPECT_EQ(login.GetOTPforAuthentication(otp), 0);  // not 16: the lock was given back
  SRCppWrap::detail::Settings().lockWaitMs = 60000;
}

}  // namespace
}  // namespace qmt_e2e
