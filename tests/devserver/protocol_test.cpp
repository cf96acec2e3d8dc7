// Activation, secrets, online OTPs, the check-enrolment and login checks, and the protocol's
// refusals, driven as the device would drive them.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include <unistd.h>

#include "client_side.h"

namespace {

using devtest::Device;
using devtest::jsonMember;
using devtest::Reply;
using devtest::Running;

std::string expectedOtp(Running& server, const Device& d) {
  const auto res = server.get("/control/expected-otp?device=" + devtest::urlEncode(d.id));
  return res ? jsonMember(res->body, "otp") : "";
}

std::string checkEnrolment(Running& server, const std::string& login, const std::string& token) {
  const auto res = server.put(devserver::kCheckEnrolmentPath,
                              R"({"rrdi_code":"R1","login":")" + login +
                                  R"(","serial_number":"BIOS9","token":")" + token + "\"}");
  return res ? jsonMember(res->body, "status") : "";
}

std::string login(Running& server, const std::string& device, const std::string& otp) {
  const auto res = server.put(devserver::kLoginPath,
                              R"({"device":")" + device + R"(","otp":")" + otp + "\"}", false);
  return res ? jsonMember(res->body, "status") : "";
}

TEST(Protocol, EnrolmentActivationOtpAndConfirmation) {
  Running server;
  const devtest::Enrolment e = devtest::enrol(server);
  Device d;

  const Reply setup = devtest::activateSetup(server, d, e.code);
  ASSERT_EQ(setup.err(), "OK");
  EXPECT_EQ(d.kfact.size(), 256u);
  EXPECT_EQ(d.ksr.size(), 256u) << "Ksr must recover, under Kfact, to a 1024-bit modulus";
  EXPECT_EQ(setup.get("challenge").size(), 32u);

  Reply followUp("");
  const Reply fin = devtest::activateFinalize(server, d, e.code, &followUp);
  ASSERT_EQ(fin.err(), "OK");
  EXPECT_EQ(d.id.rfind("DV-", 0), 0u);
  EXPECT_EQ(d.k0.size(), 32u);
  EXPECT_FALSE(fin.get("dK1").empty());
  EXPECT_EQ(fin.get("s_n"), "2");
  EXPECT_EQ(fin.get("ms_n"), "2");
  EXPECT_EQ(fin.count("ms_key"), 2u);
  EXPECT_EQ(d.acks, std::vector<int32_t>{2});
  ASSERT_EQ(followUp.err(), "OK");
  EXPECT_EQ(d.secrets.size(), 2u);
  // The code is spent.
  EXPECT_EQ(devtest::activateSetup(server, d, e.code).err(), "NOK:CODE");

  ASSERT_EQ(devtest::otpSetup(server, d, 1).err(), "OK");
  std::string otp;
  const Reply otpReply = devtest::otpFinalize(server, d, 1, d.pin, &otp);
  ASSERT_EQ(otpReply.err(), "OK");
  EXPECT_EQ(otpReply.get("format"), "8LC");
  EXPECT_GT(std::atoi(otpReply.get("defi").c_str()), 0);
  EXPECT_EQ(otpReply.get("ms_n"), "");  // every secret is known
  // The acknowledged message comes back as acknowledged, so the device stops listing it.
  EXPECT_TRUE(d.acks.empty());
  EXPECT_EQ(otp.size(), 8u);
  EXPECT_EQ(expectedOtp(server, d), otp);

  EXPECT_EQ(checkEnrolment(server, "00000000", otp), "UNKNOWN_LOGIN");
  EXPECT_EQ(checkEnrolment(server, e.login, otp == "aaaaaaaa" ? "baaaaaaa" : "aaaaaaaa"),
            "INVALID_TOKEN");
  EXPECT_EQ(checkEnrolment(server, e.login, otp), "OK");
  EXPECT_EQ(checkEnrolment(server, e.login, otp), "NO_OTP");  // one use

  // A later login with the second service's OTP; the device is named by serial/unique key.
  ASSERT_EQ(devtest::otpSetup(server, d, 2).err(), "OK");
  ASSERT_EQ(devtest::otpFinalize(server, d, 2, d.pin, &otp).err(), "OK");
  EXPECT_EQ(login(server, "SN-0042/nobody", otp), "UNKNOWN_DEVICE");
  EXPECT_EQ(login(server, d.serial + "/" + d.uniqueKey, otp), "OK");
  EXPECT_EQ(login(server, d.id, otp), "NO_OTP");
}

// Every way the service can vary the OTP exchange still gives the device's OTP.
TEST(Protocol, OtpVariantsAgreeWithTheDevice) {
  const char* const variants[] = {
      R"({"otp_format":"8C"})", R"({"defi":0})",    R"({"defi":-7,"otp_format":"8C"})",
      R"({"dk1":"always"})",    R"({"dk1":"off"})", R"({"server":"http://127.0.0.1:1/elsewhere"})",
  };
  for (const char* settings : variants) {
    SCOPED_TRACE(settings);
    Running server;
    server.control("/control/settings", settings);
    Device d = devtest::activatedDevice(server);
    for (int round = 0; round < 2; ++round) {
      std::string otp;
      ASSERT_EQ(devtest::otpSetup(server, d, 1).err(), "OK");
      ASSERT_EQ(devtest::otpFinalize(server, d, 1, d.pin, &otp).err(), "OK");
      EXPECT_EQ(login(server, d.id, otp), "OK");
    }
  }
}

TEST(Protocol, ServiceAddedLaterIsAskedForAtTheNextOtp) {
  Running server;
  Device d = devtest::activatedDevice(server);
  server.control("/control/settings",
                 R"({"services":[{"id":1,"name":"a"},{"id":2,"name":"b"},{"id":9,"name":"new"}]})");
  ASSERT_EQ(devtest::otpSetup(server, d, 9).err(), "OK");
  std::string otp;
  Reply followUp("");
  const Reply reply = devtest::otpFinalize(server, d, 9, d.pin, &otp, &followUp);
  ASSERT_EQ(reply.err(), "OK");
  EXPECT_EQ(reply.get("ms_n"), "1");
  EXPECT_EQ(reply.get("ms_id"), "9");
  EXPECT_EQ(followUp.err(), "OK");
  EXPECT_EQ(login(server, d.id, otp), "OK") << "the OTP uses the secret learnt in the follow-up";
}

TEST(Protocol, WrongPinsAreRefusedThenBlockTheDevice) {
  Running server;
  server.control("/control/settings", R"({"pin_attempts":2})");
  Device d = devtest::activatedDevice(server);
  ASSERT_EQ(devtest::otpSetup(server, d, 1).err(), "OK");
  EXPECT_EQ(devtest::otpFinalize(server, d, 1, "9999").err(), "NOK:PINREFUSED");
  ASSERT_EQ(devtest::otpSetup(server, d, 1).err(), "OK");
  EXPECT_EQ(devtest::otpFinalize(server, d, 1, d.pin).err(), "OK") << "a good PIN resets the count";
  ASSERT_EQ(devtest::otpSetup(server, d, 1).err(), "OK");
  EXPECT_EQ(devtest::otpFinalize(server, d, 1, "1").err(), "NOK:PINREFUSED");
  ASSERT_EQ(devtest::otpSetup(server, d, 1).err(), "OK");
  EXPECT_EQ(devtest::otpFinalize(server, d, 1, "2").err(), "NOK_BLOCKED");
  EXPECT_EQ(devtest::otpSetup(server, d, 1).err(), "NOK_BLOCKED");
  EXPECT_EQ(login(server, d.id, "aaaaaaaa"), "BLOCKED");
}

// Each case spoils one thing of a correct exchange.
TEST(Protocol, RefusalsNameTheProblem) {
  Running server;
  Device active = devtest::activatedDevice(server);

  {  // unknown code
    Device d;
    EXPECT_EQ(devtest::activateSetup(server, d, "NO-SUCH-CODE").err(), "NOK:CODE");
  }
  {  // finalize without a setup, and a setup's challenge answers one finalize only
    const auto e = devtest::enrol(server);
    Device d;
    d.ksr = active.ksr;
    EXPECT_EQ(devtest::activateFinalize(server, d, e.code).err(), "NOK:STATE");
    ASSERT_EQ(devtest::activateSetup(server, d, e.code).err(), "OK");
    d.challenge = "forged";
    EXPECT_EQ(devtest::activateFinalize(server, d, e.code).err(), "NOK:ACCESS");
    EXPECT_EQ(devtest::activateFinalize(server, d, e.code).err(), "NOK:STATE");
  }
  {  // a serial that is not serial "/" unique key "/" random
    const auto e = devtest::enrol(server);
    Device d;
    ASSERT_EQ(devtest::activateSetup(server, d, e.code).err(), "OK");
    const std::string zero(64, '0');
    const std::string q =
        "&mode=activate&id=&macid=&lastsync=0&version=0%2e2%2e7&lang=fr&R0=" + zero +
        "&R1=" + zero + "&R2=" + zero + "&ack=&code=" + devtest::urlEncode(e.code) +
        "&serial=plain&Kma=00&pin=&name=x";
    EXPECT_EQ(Reply(server.service("ActionFinalize", q)->body).err(), "NOK:SN");
  }
  {  // a refused client version
    Device d = active;
    const std::string q =
        "&mode=otp&id=" + devtest::urlEncode(d.id) + "&macid=&lastsync=0&version=0%2e2%2e6&sid=1";
    EXPECT_EQ(Reply(server.service("ActionSetup", q)->body).err(), "NOK:VERSION");
  }
  {  // an unknown device and an unknown service
    Device d = active;
    EXPECT_EQ(devtest::otpSetup(server, d, 77).err(), "NOK:NOSRV");
    d.id = "DV-00000000";
    EXPECT_EQ(devtest::otpSetup(server, d, 1).err(), "NOK:NODEVICE");
  }
  {  // an OTP finalize without its setup, or for another service than the setup's
    Device d = active;
    EXPECT_EQ(devtest::otpFinalize(server, d, 1, d.pin).err(), "NOK:STATE");
    ASSERT_EQ(devtest::otpSetup(server, d, 1).err(), "OK");
    EXPECT_EQ(devtest::otpFinalize(server, d, 2, d.pin).err(), "NOK:STATE");
  }
  {  // a device with the wrong k1 or the wrong identity
    Device d = active;
    ASSERT_EQ(devtest::otpSetup(server, d, 1).err(), "OK");
    d.k1 = std::string(32, '0');
    EXPECT_EQ(devtest::otpFinalize(server, d, 1, d.pin).err(), "NOK:ACCESS");
    d = active;
    ASSERT_EQ(devtest::otpSetup(server, d, 1).err(), "OK");
    d.random = std::string(32, '1');
    EXPECT_EQ(devtest::otpFinalize(server, d, 1, d.pin).err(), "NOK:ACCESS");
  }
}

TEST(Protocol, KmaMustMatchThePinAndIdentity) {
  Running server;
  const auto e = devtest::enrol(server);
  Device d;
  ASSERT_EQ(devtest::activateSetup(server, d, e.code).err(), "OK");
  d.random = std::string(32, 'a');
  const std::string wrongKey = d.pinKey("other PIN");
  const std::string s = d.challenge + ";;";
  const std::string q = "&mode=activate&id=&macid=&lastsync=0&version=0%2e2%2e7&lang=fr&R0=" +
                        devtest::sha256Hex(s + d.identity()) + "&R1=" + devtest::sha256Hex(s) +
                        "&R2=" + devtest::sha256Hex(s) +
                        "&ack=&code=" + devtest::urlEncode(e.code) +
                        "&serial=" + devtest::urlEncode(d.identity()) +
                        "&Kma=" + devtest::rsaEncryptHex(devtest::unhex(wrongKey), d.ksr) +
                        "&pin=" + devtest::rsaEncryptHex({'2', '4', '6', '8'}, d.ksr) + "&name=x";
  EXPECT_EQ(Reply(server.service("ActionFinalize", q)->body).err(), "NOK:ACCESS");
}

TEST(Persistence, ARestartKeepsKeysEnrolmentsAndDevices) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("devserver-restart-" + std::to_string(::getpid()) + ".db"))
                               .string();
  std::filesystem::remove(path);
  Device d;
  devtest::Enrolment e;
  {
    Running first(path);
    d = devtest::activatedDevice(first, &e);
    ASSERT_EQ(devtest::otpSetup(first, d, 1).err(), "OK");  // pending across the restart
  }
  {
    Running second(path);
    std::string otp;
    ASSERT_EQ(devtest::otpFinalize(second, d, 1, d.pin, &otp).err(), "OK");
    EXPECT_EQ(checkEnrolment(second, e.login, otp), "OK");
    Device fresh;
    const auto e2 = devtest::enrol(second);
    ASSERT_EQ(devtest::activateSetup(second, fresh, e2.code).err(), "OK");
    EXPECT_EQ(fresh.kfact, d.kfact) << "the RSA keys are made once";
  }
  std::filesystem::remove(path);
}

}  // namespace
