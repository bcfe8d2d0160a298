// Functions compiled for several x86-64 processor levels, the best picked when
// the program loads. Needs GCC and the ELF loader's indirect functions, so on
// other compilers, processors and systems the attribute is left out and one
// version is built. ThreadSanitizer cannot run a resolver before it has
// started, so a build with it gets one version too.
#pragma once

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__) && \
    !defined(__SANITIZE_THREAD__)
#define QUORVANE_X86_64_CLONES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#else
#define QUORVANE_X86_64_CLONES
#endif
