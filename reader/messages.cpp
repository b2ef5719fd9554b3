// Message pieces of the scan and the load.
#include "reader/messages.h"

#include "textio/fixed_format.h"
#include "textio/termination.h"

namespace korvan::reader {
namespace {

constexpr std::size_t kScanLocationLength = 50;
constexpr std::size_t kLoadLocationLength = 70;

// Assembled in a fixed-length field: what does not fit is lost, and the
// text is used without trailing blanks.
std::string in_field(std::string text, std::size_t length) {
  if (text.size() > length) text.resize(length);
  return std::string(textio::trim_right(text));
}

std::string quoted_name(std::string_view name) {
  std::string_view trimmed = textio::trim_right(name);
  while (!trimmed.empty() && trimmed.front() == ' ') trimmed.remove_prefix(1);
  return "file=\"" + std::string(trimmed) + "\")";
}

}  // namespace

void emsgstop(std::string_view message) {
  textio::stop_with_line("Stop: " + std::string(message) + ".");
}

std::string sounding_text(std::int64_t isound) { return textio::integer_text(isound, 5); }
std::string index_text(std::int64_t index) { return textio::integer_text(index, 2); }

std::string scan_frequency_location(std::string_view f, std::string_view s) {
  return in_field("frequency " + std::string(f) + ", sounding " + std::string(s), kScanLocationLength);
}

std::string scan_transmitter_location(std::string_view t, std::string_view f, std::string_view s) {
  return in_field("(it=" + std::string(t) + ",ifreq=" + std::string(f) + ",isound=" + std::string(s) + ")",
                  kScanLocationLength);
}

std::string scan_receiver_location(std::string_view r, std::string_view t, std::string_view f,
                                   std::string_view s) {
  return in_field("(ir=" + std::string(r) + ",it=" + std::string(t) + ",ifreq=" + std::string(f) +
                      ",isound=" + std::string(s) + ")",
                  kScanLocationLength);
}

std::string load_frequency_location(std::string_view f, std::string_view s, std::string_view name) {
  return in_field("frequency " + std::string(f) + ", sounding " + std::string(s) + " (" + quoted_name(name),
                  kLoadLocationLength);
}

std::string load_transmitter_location(std::string_view t, std::string_view f, std::string_view s,
                                      std::string_view name) {
  return in_field("(it=" + std::string(t) + ",ifreq=" + std::string(f) + ",isound=" + std::string(s) + "," +
                      quoted_name(name),
                  kLoadLocationLength);
}

std::string load_receiver_location(std::string_view r, std::string_view t, std::string_view f,
                                   std::string_view s, std::string_view name) {
  return in_field("(ir=" + std::string(r) + ",it=" + std::string(t) + ",ifreq=" + std::string(f) +
                      ",isound=" + std::string(s) + "," + quoted_name(name),
                  kLoadLocationLength);
}

}  // namespace korvan::reader
