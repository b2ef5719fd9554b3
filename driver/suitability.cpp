// The checks run in a fixed order and the first failure ends the run; each
// index range is bounded by a count already shown equal in all soundings.
#include "driver/suitability.h"

#include "driver/stops.h"

namespace korvan::driver {

namespace {

// Whether every check passes, found in one pass over each array in storage
// order; the checks themselves walk the arrays across, once per count.
bool layout_is_uniform(const reader::SoundingArrays& a, std::int32_t nsound) {
  const std::int32_t nfreq = a.nfreqs(1);
  for (std::int32_t isound = 2; isound <= nsound; ++isound) {
    if (a.nfreqs(isound) != nfreq) return false;
  }
  for (std::int32_t isound = 1; isound <= nsound; ++isound) {
    for (std::int32_t ifreq = 1; ifreq <= nfreq; ++ifreq) {
      const std::int32_t ntx = a.nt(ifreq, 1);
      if (a.nt(ifreq, isound) != ntx) return false;
      for (std::int32_t it = 1; it <= ntx; ++it) {
        if (a.nr(it, ifreq, isound) != 1) return false;
      }
    }
  }
  return true;
}

}  // namespace

void check_suitability(const reader::SoundingArrays& a, std::int32_t nsound) {
  // A file that announces soundings and holds none has no layout to take
  // from sounding 1; nothing may read it.
  if (nsound < 1) nsstop("no soundings found");
  if (layout_is_uniform(a, nsound)) return;

  const std::int32_t nfreq = a.nfreqs(1);
  for (std::int32_t isound = 2; isound <= nsound; ++isound) {
    if (a.nfreqs(isound) != nfreq) nsstop("number of frequencies not constant");
  }
  for (std::int32_t ifreq = 1; ifreq <= nfreq; ++ifreq) {
    const std::int32_t ntx = a.nt(ifreq, 1);
    for (std::int32_t isound = 1; isound <= nsound; ++isound) {
      if (a.nt(ifreq, isound) != ntx) nsstop("number of transmitters per frequency not constant");
    }
    for (std::int32_t it = 1; it <= ntx; ++it) {
      for (std::int32_t isound = 1; isound <= nsound; ++isound) {
        if (a.nr(it, ifreq, isound) != 1) nsstop("number of receivers per transmitter not constant at 1");
      }
    }
  }
}

}  // namespace korvan::driver
