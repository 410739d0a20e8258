// The processor level the reader's vector paths run at (the keyed tier,
// reader_keyed_tier.h, and the block cleaning, reader_block.cpp), chosen
// once: the build stays baseline x86-64, and each path has a version for
// each level. Other processors, and the Windows build, run at none: the
// paths of the baseline alone. Private to the reader.
#pragma once

namespace tessera::detail {

enum class cpu_level {
  none,   // the baseline's paths (SSE2 on x86-64)
  sse41,  // SSE4.1, with SSSE3's byte shuffles
  avx2,   // AVX2 and BMI2
};

// Whether the vector versions are built here (x86 processors, with a
// compiler that builds a function for a processor level of its own).
#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__) && !defined(_WIN32)
#define TESSERA_CPU_LEVELS 1
#endif

// The level in use: the best the processor has, unless lowered by the
// environment variable TESSERA_CPU_LEVEL (none, sse4.1 or avx2) or by
// use_cpu_level.
cpu_level cpu_level_in_use();
// Uses `wanted`, or the best level below it the processor has (for the
// tests, which read at every level); returns the level now in use.
cpu_level use_cpu_level(cpu_level wanted);

}  // namespace tessera::detail
