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

TEST(Configuration, FreshObjectIsEmpty) {
  LogSandbox sandbox;
  QmtSR sr;
  for (const std::string& value :
       {sr.GetUniquekey(), sr.GetsentrelSeedFilePath(), sr.GetEnrollFilePath(),
        sr.GetToolvex_Software_Version(), sr.Getsentrel_server_url(), sr.Getsentrel_server_macid(),
        sr.GetEnrollmentName(), sr.Getdevice_serial(), sr.GetRRDICode(),
        sr.GetsentrelCodeandOTPurl(), sr.GetsentrelCheckEnrollmenturl(), sr.GetBiosSerialNumber(),
        sr.Getproxy_user(), sr.Getproxy_password(), sr.Gethttp_address(),
        sr.Gethttp_proxy_override()}) {
    EXPECT_EQ(value, "");
  }
  EXPECT_EQ(sr.Getsentrel_server_timeout(), 0);
  EXPECT_EQ(sr.GetOTP_service_index(), 0);
  EXPECT_EQ(sr.GetEnrollmentStatus(), 0);
  EXPECT_EQ(sr.Gethttp_port(), 0);
  EXPECT_EQ(sr.GetToolvexPinPath(), "..\\GEN\\ToolvexPin.txt");
  EXPECT_FALSE(fs::exists(sandbox.EnrollmentLog()));  // getters never log
}

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

TEST(Initializers, QmtSRInitializeStoresStatusBeforeItsFirstLine) {
  const Messages block = {
      Banner("Initializing Sentrel with below values started"),
      "Uniquekey: UK",
      "SentrelSeedFilePath: ..\\GEN\\seed.txt",
      "Enroll File Path: ..\\GEN\\enroll.txt",
      "Toolvex Software Version: 9.1",
      "Sentrel server url: http://127.0.0.1:8080",
      "Sentrel server macid: MAC",
      "Enrollment Name: Workstation",
      "Sentrel server timeout: 15000",
      "OTP server index: 2",
      "Device serial: SERIAL",
      "RRDI Code: RRDI",
      Banner("Initializing Sentrel with above values End"),
  };
  // The block goes to the file of the new status, whatever the status was before.
  struct Case {
    int previousStatus;
    int status;
    bool authentication;
  } cases[] = {{0, 1, true}, {1, 0, false}, {1, -1, false}, {0, 7, false}};
  for (const Case& c : cases) {
    LogSandbox sandbox;
    QmtSR sr;
    sr.SetEnrollmentStatus(c.previousStatus);
    sr.QmtSRInitialize("UK", "..\\GEN\\seed.txt", "..\\GEN\\enroll.txt", "9.1",
                       "http://127.0.0.1:8080", "MAC", "Workstation", 15000, 2, "SERIAL", "RRDI",
                       c.status);
    fs::path written = c.authentication ? sandbox.AuthenticationLog() : sandbox.EnrollmentLog();
    fs::path untouched = c.authentication ? sandbox.EnrollmentLog() : sandbox.AuthenticationLog();
    EXPECT_EQ(ReadMessages(written), block) << c.status;
    EXPECT_FALSE(fs::exists(untouched)) << c.status;

    EXPECT_EQ(sr.GetEnrollmentStatus(), c.status);
    EXPECT_EQ(sr.GetUniquekey(), "UK");
    EXPECT_EQ(sr.GetsentrelSeedFilePath(), "..\\GEN\\seed.txt");
    EXPECT_EQ(sr.GetEnrollFilePath(), "..\\GEN\\enroll.txt");
    EXPECT_EQ(sr.GetToolvex_Software_Version(), "9.1");
    EXPECT_EQ(sr.Getsentrel_server_url(), "http://127.0.0.1:8080");
    EXPECT_EQ(sr.Getsentrel_server_macid(), "MAC");
    EXPECT_EQ(sr.GetEnrollmentName(), "Workstation");
    EXPECT_EQ(sr.Getsentrel_server_timeout(), 15000);
    EXPECT_EQ(sr.GetOTP_service_index(), 2);
    EXPECT_EQ(sr.Getdevice_serial(), "SERIAL");
    EXPECT_EQ(sr.GetRRDICode(), "RRDI");
  }
}

TEST(Initializers, EnrollmentUrlsAndQmtParameters) {
  LogSandbox sandbox;
  QmtSR sr;
  sr.InitializeEnrollmenturls("u1", "u2", "u3", "u4", "u5");
  sr.InitQMTParameters("BIOS-42");
  EXPECT_EQ(ReadMessages(sandbox.EnrollmentLog()),
            (Messages{
                Banner("Initializing Enrollment urls started"),
                "Sentrel Code and OTP url\t\t\t\t: u1",
                "Sentrel Check Enrollment url\t\t\t: u2",
                "GetPDVurl\t\t\t\t\t\t\t: u3",
                "RLX Enrollment Initialization url\t: u4",
                "RLX Enrollment Activation url\t\t: u5",
                Banner("Initializing Enrollment urls End"),
                Banner("Initializing QMT parameters started"),
                "QMT parameter: Bios Serial Number \t\t: BIOS-42",
                Banner("Initializing QMT parameters End"),
            }));
  EXPECT_EQ(sr.GetsentrelCodeandOTPurl(), "u1");
  EXPECT_EQ(sr.GetsentrelCheckEnrollmenturl(), "u2");
  EXPECT_EQ(sr.GetBiosSerialNumber(), "BIOS-42");
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
