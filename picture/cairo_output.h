// The picture's files: a cairo surface of the kind the name asks for,
// written to an open file, with the system's reason when it cannot be.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <cairo.h>

namespace korvan::picture {

enum class PictureKind { png, svg, pdf };

// The kind named by the file name's ending (".png", ".svg", ".pdf", any case), or nullopt.
std::optional<PictureKind> picture_kind(std::string_view file_name);

// Draws a `width` x `height` unit picture with `draw` (units are pixels of a
// PNG; points * 4/3 on SVG and PDF pages) and writes it to the file open for
// writing on `fd` (left open). nullopt when written; else the system's
// reason in words (e.g. "No space left on device").
std::optional<std::string> write_drawing(int fd, PictureKind kind, int width, int height,
                                         const std::function<void(cairo_t*)>& draw);

}  // namespace korvan::picture
