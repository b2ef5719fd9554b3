// The checks' verdict is found while the file is read, every sounding
// measured against sounding 1; here it becomes the message.
#include "driver/suitability.h"

#include "driver/stops.h"

namespace korvan::driver {

void check_suitability(const reader::Survey& survey) {
  // A file that announces soundings and holds none has no layout to take
  // from sounding 1; nothing may read it.
  if (survey.dims.nsound < 1) nsstop("no soundings found");
  if (survey.layout.suitable()) return;
  switch (survey.layout.failed_check()) {
    case reader::LayoutCheck::frequencies:
      nsstop("number of frequencies not constant");
    case reader::LayoutCheck::transmitters:
      nsstop("number of transmitters per frequency not constant");
    case reader::LayoutCheck::receivers:
      break;
  }
  nsstop("number of receivers per transmitter not constant at 1");
}

}  // namespace korvan::driver
