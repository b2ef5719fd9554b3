// What the scan and the load share for their messages: the stop that ends
// the run, the rendering of the sounding, frequency, transmitter and
// receiver numbers, and the location texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvan::reader {

// "Stop: ", the message and a full stop; ends the run.
[[noreturn]] void emsgstop(std::string_view message);

// The sounding number in 5 positions, the others in 2, moved to the left and
// without trailing blanks; asterisks when too wide.
std::string sounding_text(std::int64_t isound);
std::string index_text(std::int64_t index);

// Location texts of the scan.
std::string scan_frequency_location(std::string_view f, std::string_view s);
std::string scan_transmitter_location(std::string_view t, std::string_view f, std::string_view s);
std::string scan_receiver_location(std::string_view r, std::string_view t, std::string_view f,
                                   std::string_view s);

// Location texts of the load: with the file name, cut at 70 characters.
std::string load_frequency_location(std::string_view f, std::string_view s, std::string_view name);
std::string load_transmitter_location(std::string_view t, std::string_view f, std::string_view s,
                                      std::string_view name);
std::string load_receiver_location(std::string_view r, std::string_view t, std::string_view f,
                                   std::string_view s, std::string_view name);

}  // namespace korvan::reader
