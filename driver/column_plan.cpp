// The column plan: the one walk over sounding 1's frequencies and
// transmitters that decides the data columns.
#include "driver/column_plan.h"

#include "driver/stops.h"

namespace korvan::driver {

ColumnPlan make_column_plan(const reader::SoundingArrays& a) {
  ColumnPlan plan;
  const std::int32_t nfreq = a.nfreqs(1);
  for (std::int32_t ifreq = 1; ifreq <= nfreq; ++ifreq) {
    const float frequency = a.freq(ifreq, 1);
    const std::int32_t ntx = a.nt(ifreq, 1);
    for (std::int32_t it = 1; it <= ntx; ++it) {
      const char orientation = a.ot(it, ifreq, 1);
      const char component = a.octype(1, it, ifreq, 1);
      if (component != 'i' && component != 'q' && component != 'b') {
        estop("inconsistent inphase/quadrature information");
      }
      if (component != 'q') plan.push_back({ifreq, it, true, frequency, orientation});
      if (component != 'i') plan.push_back({ifreq, it, false, frequency, orientation});
    }
  }
  return plan;
}

}  // namespace korvan::driver
