# What the engines need of the platform: x87 80-bit long double, and where
# they assemble, the x87 kernels of the per-draw evaluation.
#
#   QUORVANE_X87_KERNELS  build the kernels (default ON on Linux x86-64, the
#                         only platform they are written for: ELF, System V
#                         calling convention)
#   QUORVANE_ALLOW_NON_X87_LONG_DOUBLE
#                         build even where long double is not the x87 80-bit
#                         format; the program then runs, but its reports differ
#                         from those of every x87 build
#
# quorvane_add_engine_platform(target) adds the kernels and their compile
# definition to a target.

include(CheckCXXSourceCompiles)

if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(_quorvane_kernels_assemble ON)
else()
  set(_quorvane_kernels_assemble OFF)
endif()

option(QUORVANE_X87_KERNELS "Evaluate the engines' draws in the x87 kernels (Linux x86-64 only)"
       ${_quorvane_kernels_assemble})
option(QUORVANE_ALLOW_NON_X87_LONG_DOUBLE
       "Build even where long double is not the x87 80-bit format (reports then differ)" OFF)

if(QUORVANE_X87_KERNELS AND NOT _quorvane_kernels_assemble)
  message(FATAL_ERROR
    "QUORVANE_X87_KERNELS: the x87 kernels are written for Linux x86-64 only "
    "(this is ${CMAKE_SYSTEM_NAME} ${CMAKE_SYSTEM_PROCESSOR}); configure with "
    "-DQUORVANE_X87_KERNELS=OFF.")
endif()

# Every result is computed in long double and must be the same bit for bit
# everywhere: a compile-time check, so that it also works when cross-compiling.
check_cxx_source_compiles([=[
#include <limits>
static_assert(std::numeric_limits<long double>::digits == 64 &&
              std::numeric_limits<long double>::max_exponent == 16384 &&
              std::numeric_limits<long double>::min_exponent == -16381,
              "not the x87 80-bit format");
int main() { return 0; }
]=] QUORVANE_LONG_DOUBLE_IS_X87)

if(NOT QUORVANE_LONG_DOUBLE_IS_X87)
  if(QUORVANE_ALLOW_NON_X87_LONG_DOUBLE)
    message(WARNING
      "long double is not the x87 80-bit format on this platform: the program's "
      "reports will differ from those of the x86 builds (built as asked by "
      "QUORVANE_ALLOW_NON_X87_LONG_DOUBLE).")
  else()
    message(FATAL_ERROR
      "long double is not the x87 80-bit format on this platform "
      "(${CMAKE_SYSTEM_NAME} ${CMAKE_SYSTEM_PROCESSOR}, ${CMAKE_CXX_COMPILER_ID}). "
      "Quorvane computes in x87 extended precision, and its reports would silently "
      "differ from those of the x86 builds. Build for x86 or x86-64 with GCC, or "
      "configure with -DQUORVANE_ALLOW_NON_X87_LONG_DOUBLE=ON to build anyway.")
  endif()
endif()

set(QUORVANE_X87_KERNEL_SOURCES ${PROJECT_SOURCE_DIR}/src/Bayes_Engines/draw_kernels_x86_64.S)

if(QUORVANE_X87_KERNELS)
  enable_language(ASM)
endif()

function(quorvane_add_engine_platform target)
  if(QUORVANE_X87_KERNELS)
    target_sources(${target} PRIVATE ${QUORVANE_X87_KERNEL_SOURCES})
    target_compile_definitions(${target} PUBLIC QUORVANE_X87_KERNELS=1)
  endif()
endfunction()
