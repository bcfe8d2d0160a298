# Cross-compiling for Linux on 64-bit Arm with Debian's g++-aarch64-linux-gnu.
# long double is IEEE quad precision there, not the x87 format: configure with
# -DQUORVANE_ALLOW_NON_X87_LONG_DOUBLE=ON (the reports then differ from x86's).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Header-only packages (CLI11) are found on the build machine.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
