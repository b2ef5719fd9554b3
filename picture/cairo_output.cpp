// cairo's writes land in a file of our own, so that a refused write keeps
// the system's reason, which cairo's status alone would lose.
#include "picture/cairo_output.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <new>
#include <system_error>

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <unistd.h>

#include "picture/layout.h"

namespace korvan::picture {
namespace {

using SurfaceHandle = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using ContextHandle = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

struct Sink {
  std::FILE* file;
  int error = 0;
};

cairo_status_t write_to_sink(void* closure, const unsigned char* data, unsigned int length) {
  auto* sink = static_cast<Sink*>(closure);
  if (sink->error == 0) {
    errno = 0;
    if (std::fwrite(data, 1, length, sink->file) != length) sink->error = errno != 0 ? errno : EIO;
  }
  return sink->error == 0 ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

SurfaceHandle surface_for(PictureKind kind, int width, int height, Sink& sink) {
  switch (kind) {
    case PictureKind::svg:
      return {cairo_svg_surface_create_for_stream(write_to_sink, &sink, width * kPointsPerUnit, height * kPointsPerUnit),
              cairo_surface_destroy};
    case PictureKind::pdf:
      return {cairo_pdf_surface_create_for_stream(write_to_sink, &sink, width * kPointsPerUnit, height * kPointsPerUnit),
              cairo_surface_destroy};
    case PictureKind::png:
      break;
  }
  // Opaque pixels: the picture has a white ground, and the PNG is smaller.
  return {cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height), cairo_surface_destroy};
}

cairo_status_t draw_into(PictureKind kind, int width, int height, const std::function<void(cairo_t*)>& draw,
                         Sink& sink) {
  const SurfaceHandle surface = surface_for(kind, width, height, sink);
  {
    const ContextHandle cr(cairo_create(surface.get()), cairo_destroy);
    if (kind != PictureKind::png) cairo_scale(cr.get(), kPointsPerUnit, kPointsPerUnit);
    draw(cr.get());
    const cairo_status_t status = cairo_status(cr.get());
    if (status != CAIRO_STATUS_SUCCESS) return status;
  }
  if (kind == PictureKind::png) return cairo_surface_write_to_png_stream(surface.get(), write_to_sink, &sink);
  cairo_surface_finish(surface.get());
  return cairo_surface_status(surface.get());
}

std::string reason(int error) { return std::system_category().message(error); }

}  // namespace

std::optional<PictureKind> picture_kind(std::string_view file_name) {
  if (file_name.size() < 4) return std::nullopt;
  std::string ending(file_name.substr(file_name.size() - 4));
  std::transform(ending.begin(), ending.end(), ending.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  if (ending == ".png") return PictureKind::png;
  if (ending == ".svg") return PictureKind::svg;
  if (ending == ".pdf") return PictureKind::pdf;
  return std::nullopt;
}

std::optional<std::string> write_drawing(int fd, PictureKind kind, int width, int height,
                                         const std::function<void(cairo_t*)>& draw) {
  // A descriptor of its own, which fclose() closes.
  const int own = ::dup(fd);
  std::FILE* file = own >= 0 ? ::fdopen(own, "wb") : nullptr;
  if (file == nullptr) {
    const int error = errno;
    if (own >= 0) ::close(own);
    return reason(error);
  }
  Sink sink{file};
  cairo_status_t status = CAIRO_STATUS_SUCCESS;
  try {
    status = draw_into(kind, width, height, draw, sink);
  } catch (const std::bad_alloc&) {
    sink.error = ENOMEM;
  } catch (...) {
    std::fclose(file);
    throw;
  }
  if (std::fclose(file) != 0 && sink.error == 0) sink.error = errno;
  if (status == CAIRO_STATUS_SUCCESS && sink.error == 0) return std::nullopt;
  return sink.error != 0 ? reason(sink.error) : std::string(cairo_status_to_string(status));
}

}  // namespace korvan::picture

#if defined(__SANITIZE_ADDRESS__)
// fontconfig, which finds cairo's fonts, keeps what it has found for the
// life of the process and leaves it to the system at exit; LeakSanitizer
// would count that as leaks of every run that draws a picture, and tell of
// the suppression on standard error, which the tests compare.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
#endif
