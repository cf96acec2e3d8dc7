// Creates the exported object, configures it and reads the values back. The unique key's log line
// goes to ..\log\SREnrollmentlog.log relative to the working directory.
#include <NRDEnrollmentCPPWrapper/QmtSR.h>
#include <NRDEnrollmentCPPWrapper/QmtSRResults.h>

#include <cstdio>
#include <string>

int main() {
  SRCppWrap::QmtSR sr;
  sr.Setproxy_user("consumer");
  sr.Sethttp_port(3128);
  sr.SetUniquekey("installed-key");
  if (sr.Getproxy_user() != "consumer" || sr.Gethttp_port() != 3128 ||
      sr.GetUniquekey() != "installed-key" || sr.GetToolvexPinPath() != "..\\GEN\\ToolvexPin.txt" ||
      SRCppWrap::QmtSRResultOf(SRCppWrap::kQmtSREnrollment, 1000).first != 1000) {
    std::fprintf(stderr, "configuration values did not come back\n");
    return 1;
  }
  std::puts("consumer ok");
  return 0;
}
