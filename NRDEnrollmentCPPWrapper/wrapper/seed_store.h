// How a new seed reaches the disk when the seed file is not free: it is never lost, and the
// log says where it went.
#ifndef NRD_WRAPPER_SEED_STORE_H
#define NRD_WRAPPER_SEED_STORE_H

#include <string>
#include <vector>

namespace SRCppWrap::detail {

// Saves the new seed to the seed file; when another program holds that file without write
// sharing (after the save's retries), keeps it pending beside it instead. False when neither
// worked. `said` receives the log lines, in order.
bool StoreSeed(const std::string& seed, std::vector<std::string>& said);

// Moves a seed left pending by an earlier workflow to the seed file when that can be written
// now; nothing happens without a pending seed.
void CatchUpPendingSeed(std::vector<std::string>& said);

}  // namespace SRCppWrap::detail

#endif
