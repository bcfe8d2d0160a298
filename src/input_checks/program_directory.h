// The folder of the running program.
#pragma once

#include <string>

namespace quorvane {

// The folder that holds the running executable, without a trailing
// separator (Linux: the target of /proc/self/exe). Empty when the platform
// cannot tell.
std::string GetProgramDirectory();

}  // namespace quorvane
