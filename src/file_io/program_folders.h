// The folders the program keeps its files in.
#pragma once

#include <string>

namespace quorvane {

// The folder that holds the running executable, without a trailing
// separator (Linux: the target of /proc/self/exe). Empty when the platform
// cannot tell.
std::string GetProgramDirectory();

// The user's application-data folder for this program:
// $XDG_DATA_HOME/Quorvane when XDG_DATA_HOME is an absolute path, else
// $HOME/.local/share/Quorvane (Windows: %APPDATA%\Quorvane). Empty when none
// can be found. The folder is not created here.
std::string UserDataDirectory();

}  // namespace quorvane
