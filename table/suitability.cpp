// The checks' verdict is found while the file is read, every sounding
// measured against sounding 1; here it becomes the message.
#include "table/suitability.h"

#include "console/stop.h"

namespace korvan::table {

void check_suitability(const reader::SurveyNotes& survey) {
  // A file that announces soundings and holds none has no layout to take
  // from sounding 1; nothing may read it.
  if (survey.dims.nsound < 1) console::stop_not_suitable("no soundings found");
  if (survey.layout.suitable()) return;
  switch (survey.layout.failed_check()) {
    case reader::LayoutCheck::frequencies:
      console::stop_not_suitable("number of frequencies not constant");
    case reader::LayoutCheck::transmitters:
      console::stop_not_suitable("number of transmitters per frequency not constant");
    case reader::LayoutCheck::receivers:
      break;
  }
  console::stop_not_suitable("number of receivers per transmitter not constant at 1");
}

}  // namespace korvan::table
