// The host's results table: every result a member returns finds its own row, named as the SDK
// names it, and the results the wrapper makes up itself are explained where the host looks.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "QmtSRResults.h"
#include "sdk/SRSdk.h"
#include "wrapper/enrollment_results.h"
#include "wrapper/installation_lock.h"
#include "wrapper/no_context.h"

namespace SRCppWrap {
namespace {

// Usable where the host needs a constant.
static_assert(QmtSRResultOf(kQmtSREnrollment, 1000).first == 1000);

#define SDK_RESULT(code) std::make_pair(code, #code)
// clang-format off
const std::pair<int, const char*> kSdkResults[] = {
    SDK_RESULT(SR_OK), SDK_RESULT(SR_ERR_NO_REPLY), SDK_RESULT(SR_ERR_CODE), SDK_RESULT(SR_ERR_SN),
    SDK_RESULT(SR_ERR_ACCESS), SDK_RESULT(SR_ERR_VERSION), SDK_RESULT(SR_ERR_SAT),
    SDK_RESULT(SR_ERR_BLOCKED), SDK_RESULT(SR_ERR_STATE), SDK_RESULT(SR_ERR_NODEVICE),
    SDK_RESULT(SR_ERR_NOCA), SDK_RESULT(SR_ERR_NOSRV), SDK_RESULT(SR_ERR_PINREUSED),
    SDK_RESULT(SR_ERR_SYNCHROFAILED), SDK_RESULT(SR_ERR_FORBIDDEN), SDK_RESULT(SR_ERR_PINREFUSED),
    SDK_RESULT(SR_ERR_TIMEOUT), SDK_RESULT(SR_ERR_URL), SDK_RESULT(SR_ERR_NOK)};
// clang-format on
#undef SDK_RESULT

TEST(ResultsTable, EverySdkResultOfALoginIsNamedAsTheSdkNamesIt) {
  for (const auto& [code, name] : kSdkResults) {
    EXPECT_STREQ(QmtSRResultOf(kQmtSRLogin, code).name, name) << code;
    // An enrolment returns them all but 0 (its 0 is a failed transfer).
    if (code != SR_OK) {
      EXPECT_STREQ(QmtSRResultOf(kQmtSREnrollment, code).name, name) << code;
    }
  }
}

TEST(ResultsTable, EachMemberReadsTheSameNumberItsOwnWay) {
  struct Case {
    QmtSRResultSource member;
    int code;
    const char* name;
  };
  const Case cases[] = {
      {kQmtSREnrollment, 1000, "QMT_ENROLLED"},
      {kQmtSREnrollment, 200, "QMT_NOT_CONFIRMED"},
      {kQmtSREnrollment, 0, "QMT_NO_TRANSFER"},
      {kQmtSREnrollment, 100, "QMT_HTTP_STATUS"},
      {kQmtSREnrollment, 401, "QMT_HTTP_STATUS"},
      {kQmtSREnrollment, 599, "QMT_HTTP_STATUS"},
      {kQmtSREnrollment, 600, "QMT_UNKNOWN"},
      {kQmtSREnrollment, 18, "QMT_UNKNOWN"},
      {kQmtSREnrollment, -1, "QMT_UNKNOWN"},
      {kQmtSRRequest, 200, "QMT_HTTP_OK"},
      {kQmtSRRequest, 0, "QMT_NO_TRANSFER"},
      {kQmtSRRequest, 503, "QMT_HTTP_STATUS"},
      {kQmtSRRequest, 1000, "QMT_UNKNOWN"},
      {kQmtSRRequest, 15, "QMT_UNKNOWN"},
      {kQmtSRLogin, 1000, "QMT_UNKNOWN"},
      {kQmtSRLogin, 200, "QMT_UNKNOWN"},
      {kQmtSRLogin, 99, "QMT_UNKNOWN"},
      {kQmtSREnrollment, detail::kStatusFileNotSavedResult, "QMT_ENROLLED_NO_STATUS_FILE"},
      {kQmtSREnrollment, detail::kSeedPlaceMissingResult, "QMT_NO_PLACE_FOR_SEED"},
      {kQmtSRLogin, detail::kStatusFileNotSavedResult, "QMT_UNKNOWN"},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(QmtSRResultOf(c.member, c.code).name, c.name) << c.member << " " << c.code;
  }
}

TEST(ResultsTable, TheWrappersOwnResultsAreExplainedInTheirRows) {
  const std::pair<int, const char*> own[] = {
      {detail::kInstallationBusyResult, "another workflow of this installation"},
      {detail::kUnsendablePinResult, "zero byte"},
      {detail::kNoContextResult, "not enrolled"}};
  for (const auto& [code, says] : own) {
    for (QmtSRResultSource member : {kQmtSRLogin, kQmtSREnrollment}) {
      EXPECT_NE(std::string(QmtSRResultOf(member, code).meaning).find(says), std::string::npos);
    }
  }
}

TEST(ResultsTable, EveryRowIsReachableAndComplete) {
  const unsigned members[] = {kQmtSRLogin, kQmtSREnrollment, kQmtSRRequest};
  std::set<std::string> names;
  for (const QmtSRResult& row : kQmtSRResults) {
    EXPECT_LE(row.first, row.last) << row.name;
    EXPECT_NE(*row.meaning, '\0') << row.name;
    EXPECT_NE(*row.tellUser, '\0') << row.name;
    EXPECT_TRUE(names.insert(row.name).second) << row.name << " twice";
    // No row is hidden behind an earlier one for every member it names.
    bool reached = false;
    for (unsigned member : members) {
      if ((row.returnedBy & member) == 0) continue;
      const auto source = static_cast<QmtSRResultSource>(member);
      reached = reached || &QmtSRResultOf(source, row.first) == &row ||
                &QmtSRResultOf(source, row.last) == &row;
    }
    EXPECT_TRUE(reached) << row.name << " is never the answer";
  }
}

}  // namespace
}  // namespace SRCppWrap
