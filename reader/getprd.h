// The data load: reports the first fault of a value that the scan found, and
// fills the sounding arrays where the scan could not (a second pass over the
// file, into arrays made with the scan's extents).
#pragma once

#include "reader/getdims.h"

namespace korvan::reader::getprd_mod {

// scan.arrays must exist, with the scan's extents. Every failure ends the
// run with its message.
void getprd(const DataFile& file, Scan& scan);

}  // namespace korvan::reader::getprd_mod
