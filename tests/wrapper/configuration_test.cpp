#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "QmtSR.h"
#include "wrapper/log_sandbox.h"

namespace {

namespace fs = std::filesystem;
using qmt_test::Banner;
using qmt_test::LogSandbox;
using qmt_test::ReadFile;
using qmt_test::ReadMessages;
using SRCppWrap::QmtSR;
using Messages = std::vector<std::string>;

TEST(Configuration, StringSettersStoreAndLogTheirLine) {
  struct Case {
    void (QmtSR::*set)(std::string);
    std::string (QmtSR::*get)();  // null: the field has no getter
    const char* line;             // null: the setter writes no line
  } cases[] = {
      {&QmtSR::SetUniquekey, &QmtSR::GetUniquekey, "Uniquekey: V"},
      {&QmtSR::SetsentrelSeedFilePath, &QmtSR::GetsentrelSeedFilePath, "SentrelSeedFilePath: V"},
      {&QmtSR::SetEnrollFilePath, &QmtSR::GetEnrollFilePath, "Enroll File Path: V"},
      {&QmtSR::SetToolvex_Software_Version, &QmtSR::GetToolvex_Software_Version,
       "Toolvex Software Version: V"},
      {&QmtSR::Setsentrel_server_url, &QmtSR::Getsentrel_server_url, "Sentrel server url: V"},
      {&QmtSR::Setsentrel_server_macid, &QmtSR::Getsentrel_server_macid, "Sentrel server macid: V"},
      {&QmtSR::SetEnrollmentName, &QmtSR::GetEnrollmentName, "Enrollment Name: V"},
      {&QmtSR::Setdevice_serial, &QmtSR::Getdevice_serial, "Device serial: V"},
      {&QmtSR::SetRRDICode, &QmtSR::GetRRDICode, "RRDI Code: V"},
      {&QmtSR::SetsentrelCodeandOTPurl, &QmtSR::GetsentrelCodeandOTPurl,
       "Sentrel Code and OTP url\t\t\t\t: V"},
      {&QmtSR::SetsentrelCheckEnrollmenturl, &QmtSR::GetsentrelCheckEnrollmenturl,
       "Sentrel Check Enrollment url\t\t\t: V"},
      {&QmtSR::SetgetPDVurl, nullptr, "GetPDVurl\t\t\t\t\t\t\t: V"},
      {&QmtSR::SetRLXEnrollIniturl, nullptr, "RLX Enrollment Initialization url\t: V"},
      {&QmtSR::SetRLXEnrollActivationurl, nullptr, "RLX Enrollment Activation url\t\t: V"},
      {&QmtSR::SetBiosSerialNumber, &QmtSR::GetBiosSerialNumber,
       "QMT parameter: Bios Serial Number \t\t: V"},
      {&QmtSR::Setproxy_user, &QmtSR::Getproxy_user, nullptr},
      {&QmtSR::Setproxy_password, &QmtSR::Getproxy_password, nullptr},
      {&QmtSR::Sethttp_address, &QmtSR::Gethttp_address, nullptr},
      {&QmtSR::Sethttp_proxy_override, &QmtSR::Gethttp_proxy_override, nullptr},
  };
  for (const Case& c : cases) {
    LogSandbox sandbox;
    QmtSR sr;
    (sr.*c.set)("V");
    if (c.get != nullptr) {
      EXPECT_EQ((sr.*c.get)(), "V") << (c.line ? c.line : "");
    }
    Messages expected;
    if (c.line != nullptr) expected.push_back(c.line);
    EXPECT_EQ(ReadMessages(sandbox.EnrollmentLog()), expected);
  }
}

TEST(Configuration, IntegerSettersStoreAndLogTheirLine) {
  LogSandbox sandbox;
  QmtSR sr;
  sr.Setsentrel_server_timeout(-5);
  sr.SetOTP_service_index(3);
  sr.Sethttp_port(3128L);
  sr.SetEnrollmentStatus(-1);
  EXPECT_EQ(sr.Getsentrel_server_timeout(), -5);
  EXPECT_EQ(sr.GetOTP_service_index(), 3);
  EXPECT_EQ(sr.Gethttp_port(), 3128L);
  EXPECT_EQ(sr.GetEnrollmentStatus(), -1);
  EXPECT_EQ(ReadMessages(sandbox.EnrollmentLog()),
            (Messages{"Sentrel server timeout: -5", "OTP server index: 3"}));
}

// The block goes to the file of the new status, whatever the status was before; its lines
// with their values are part of every workflow's golden transcript.
TEST(Initializers, QmtSRInitializeStoresStatusBeforeItsFirstLine) {
  const std::pair<int, int> cases[] = {{0, 1}, {1, 0}, {1, -1}, {0, 7}};
  for (const auto& [previous, status] : cases) {
    LogSandbox sandbox;
    QmtSR sr;
    sr.SetEnrollmentStatus(previous);
    sr.QmtSRInitialize("UK", "S", "E", "9.1", "U", "MAC", "W", 15000, 2, "SERIAL", "RRDI", status);
    const fs::path written = status == 1 ? sandbox.AuthenticationLog() : sandbox.EnrollmentLog();
    EXPECT_EQ(ReadMessages(written).size(), 13u) << status;
    EXPECT_EQ(sr.GetEnrollmentStatus(), status);
    EXPECT_EQ(sr.Getsentrel_server_timeout(), 15000);
    EXPECT_EQ(sr.GetOTP_service_index(), 2);
  }
}

TEST(Initializers, ProxyParametersNeverLogThePassword) {
  LogSandbox sandbox;
  QmtSR sr;
  sr.InitializeProxyParameters("proxy-user", "Pa55-w0rd!", "proxy.local", 3128L, "*.local");
  EXPECT_EQ(ReadMessages(sandbox.EnrollmentLog()),
            (Messages{
                Banner("Initializing Proxy with below values started"),
                "proxy_user: proxy-user",
                "proxy http_address: proxy.local",
                "proxy http_port: 3128",
                "http_proxy_override: *.local",
                Banner("Initializing Proxy with above values End"),
            }));
  EXPECT_EQ(ReadFile(sandbox.EnrollmentLog()).find("Pa55-w0rd!"), std::string::npos);
  EXPECT_EQ(sr.Getproxy_user(), "proxy-user");
  EXPECT_EQ(sr.Getproxy_password(), "Pa55-w0rd!");
  EXPECT_EQ(sr.Gethttp_address(), "proxy.local");
  EXPECT_EQ(sr.Gethttp_port(), 3128L);
  EXPECT_EQ(sr.Gethttp_proxy_override(), "*.local");
}

}  // namespace
