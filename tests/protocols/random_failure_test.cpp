// A random generator that stops delivering must fail the step that needed it with a result
// code, send nothing built on the missing bytes, and leave the host process running.
#include <gtest/gtest.h>

#include "sdk/context.h"
#include "sdk/crypto/random.h"
#include "service_peer.h"

namespace {

// Delivers the first `good` draws, then fails every draw.
int FailAfter(unsigned char* out, size_t n, void* good) {
  if ((*static_cast<int*>(good))-- <= 0) return 0;
  for (size_t i = 0; i < n; i++) out[i] = static_cast<unsigned char>(i);
  return 1;
}

TEST(RandomFailure, FailsTheActivationStepAndSendsNothingBuiltOnIt) {
  // Draws of an activation: the device random, the OAEP seeds of the PIN and of Kma, then per
  // service secret the secret and its OAEP seed.
  struct Case {
    int goodDraws;
    int32_t result;
    size_t requestsSent;
  } cases[] = {
      {0, SR_ERR_NO_REPLY, 1},       // device random: only the setup went out
      {1, SR_ERR_NO_REPLY, 1},       // the PIN's OAEP seed
      {2, SR_ERR_NO_REPLY, 1},       // Kma's OAEP seed
      {3, SR_ERR_SYNCHROFAILED, 2},  // a service secret: the follow-up is not sent
      {4, SR_ERR_SYNCHROFAILED, 2},  // that secret's OAEP seed
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.goodDraws);
    ServicePeer d;
    ASSERT_EQ(d.Start(), SR_OK);
    int good = c.goodDraws;
    srRandomSourceSet(FailAfter, &good);
    EXPECT_EQ(d.Finalize(), c.result);
    srRandomSourceSet(nullptr, nullptr);
    EXPECT_EQ(d.urls.size(), c.requestsSent);
    // Without its random part the device keeps the identity it had.
    EXPECT_TRUE(c.goodDraws > 0 || d.ctx()->device_random == nullptr || !*d.ctx()->device_random);
  }
}

}  // namespace
