// The picture's files: a cairo surface of the kind the name asks for,
// written whole or not at all, with the system's reason when it cannot be.
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
// PNG; points * 4/3 on SVG and PDF pages) and writes it to `path`. nullopt
// when written; else the system's reason in words (e.g. "Is a directory",
// "No space left on device"). A file that could not be written whole is removed.
std::optional<std::string> write_drawing(const std::string& path, PictureKind kind, int width, int height,
                                         const std::function<void(cairo_t*)>& draw);

}  // namespace korvan::picture
