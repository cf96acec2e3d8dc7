// A random generator that stops delivering fails the step that needed it with a result code,
// sends nothing built on the missing bytes, and leaves the host process running.
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
  // service secret the secret and its OAEP seed. Past the first three the follow-up is not sent.
  for (int good : {0, 1, 2, 3, 4}) {
    SCOPED_TRACE(good);
    ServicePeer d;
    ASSERT_EQ(d.Start(), SR_OK);
    const std::string kept = "00112233445566778899aabbccddeeff";  // the identity it had
    SetText(d.ctx()->device_random, kept.c_str());
    int left = good;
    srRandomSourceSet(FailAfter, &left);
    EXPECT_EQ(d.Finalize(), good < 3 ? SR_ERR_NO_REPLY : SR_ERR_SYNCHROFAILED);
    srRandomSourceSet(nullptr, nullptr);
    EXPECT_EQ(d.urls.size(), good < 3 ? 1u : 2u);
    // Without all of its random values the device keeps the identity it had.
    EXPECT_EQ(d.ctx()->device_random == kept, good < 3);
  }
}

}  // namespace
