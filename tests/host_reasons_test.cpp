// The table of the host's reasons says the errno values in the words the
// Linux build has always used, those of the GNU C library.
#include "host/host_reasons.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace tessera;

namespace {

#ifdef __GLIBC__
TEST(HostReasons, ErrnoValuesAreSaidAsTheCLibrarySaysThem) {
  for (const host_reason_entry& entry : host_reasons) {
    if (entry.code > 0) {
      EXPECT_STREQ(reason_text(entry.code), std::strerror(entry.code)) << entry.code;
    }
  }
  // An errno value the table does not hold.
  EXPECT_STREQ(reason_text(ENOTDIR), std::strerror(ENOTDIR));
}
#endif

}  // namespace
