// Sounding 1 into the arrays, once its extents are known.
#include "reader/getprd.h"

namespace korvan::reader::getprd_mod {

bool ArraysStore::make(const FirstSounding& first, std::int64_t capacity) {
  arrays_ = allocate_sounding_arrays(first.extents(), capacity, exact_);
  return arrays_.has_value();
}

bool ArraysStore::start(const FirstSounding& first, std::int64_t capacity) {
  if (!make(first, capacity)) return false;
  sounding(1, first.sounding);
  for (std::int32_t ifreq = 1; ifreq <= first.nfreq(); ++ifreq) {
    frequency({1, ifreq}, first.frequencies[static_cast<std::size_t>(ifreq - 1)]);
    for (std::int32_t it = 1; it <= first.ntx(ifreq); ++it) {
      transmitter({1, ifreq, it}, first.transmitter(ifreq, it));
      receiver({1, ifreq, it, 1}, first.receiver(ifreq, it));
    }
  }
  keep(1);
  return true;
}

}  // namespace korvan::reader::getprd_mod
