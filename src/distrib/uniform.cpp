// The state of L'Ecuyer's (1988) combined generator; Uniform_01 is in the header.
#include "distrib/uniform.h"

namespace quorvane {

std::int32_t Seed1 = kStartSeed1;
std::int32_t Seed2 = kStartSeed2;

}  // namespace quorvane
