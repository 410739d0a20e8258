#include "points/cpu_level.h"

#include <cstdlib>
#include <cstring>

namespace tessera::detail {

namespace {

cpu_level best_level() {
#if defined(TESSERA_CPU_LEVELS)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2")) return cpu_level::avx2;
  if (__builtin_cpu_supports("sse4.1") && __builtin_cpu_supports("ssse3")) return cpu_level::sse41;
#endif
  return cpu_level::none;
}

// The level named by TESSERA_CPU_LEVEL, or the best there is.
cpu_level level_asked(cpu_level best) {
  const char* e = std::getenv("TESSERA_CPU_LEVEL");
  if (e == nullptr) return best;
  const cpu_level want = std::strcmp(e, "avx2") == 0     ? cpu_level::avx2
                         : std::strcmp(e, "sse4.1") == 0 ? cpu_level::sse41
                                                         : cpu_level::none;
  return want < best ? want : best;
}

struct levels {
  cpu_level best = best_level();
  cpu_level used = level_asked(best);
};

levels& chosen() {
  static levels l;
  return l;
}

}  // namespace

cpu_level cpu_level_in_use() { return chosen().used; }

cpu_level use_cpu_level(cpu_level wanted) {
  levels& l = chosen();
  l.used = wanted < l.best ? wanted : l.best;
  return l.used;
}

}  // namespace tessera::detail
