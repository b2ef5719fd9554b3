// picture/: the --plot picture - the survey seen as the picture needs it
// and the checks of what is asked (survey_picture.h), the layout and ticks,
// the map, the profiles and the cairo output, each in its own file. It uses
// table/, reader/ and console/; without cairo only survey_picture.cpp is
// built, which then says that no picture can be drawn.
//
// The survey picture that --plot draws: a title line, the map of the
// soundings coloured by one channel, and the profile panels (one per
// frequency and transmitter, and the height) flight line by flight line or
// for one line alone, as PNG, SVG or PDF.
#pragma once

#include <optional>
#include <string>

#include "picture/cairo_output.h"
#include "picture/layout.h"
#include "picture/survey_view.h"

namespace korvan::picture {

// Writes the picture to the file open for writing on `fd` (left open).
// nullopt when written; else the system's reason in words, for a message
// like "korvan2col: out.png: No space left on device". The request's line
// and data column must be the survey's.
std::optional<std::string> write_picture(int fd, PictureKind kind, const SurveyView& survey,
                                         const PictureRequest& request);

// Where the picture of `survey` puts its map, colour bar and panels, for
// tests that look for things on it.
PictureLayout survey_layout(const SurveyView& survey, const PictureRequest& request);

}  // namespace korvan::picture
