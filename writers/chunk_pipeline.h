// Rows rendered in chunks of soundings and written in file order. For a
// large file a second thread renders chunks too: whichever thread is free
// takes the next chunk, and the calling thread also writes them all in
// order, so the file is the same as when written row by row. Every row
// format (vask.out, CSV) goes through this one pipeline.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace korvan::writers {

inline constexpr std::int32_t kRowsPerChunk = 4096;

// The rows of soundings [first, last): text[0, length). The text may be
// longer, room kept from an earlier chunk, so that it is not cleared again.
struct RowChunk {
  std::int32_t first = 0;
  std::int32_t last = 0;
  std::string text;
  std::size_t length = 0;
};

// A row format as the pipeline uses it.
class ChunkedRows {
 public:
  virtual ~ChunkedRows() = default;
  // The most bytes that `rows` rows can take. The chunks are given that much
  // room once, so that rendering allocates nothing on the second thread.
  virtual std::size_t max_chunk_bytes(std::int32_t rows) const = 0;
  // Renders chunk.first to chunk.last, replacing the chunk's rows; called
  // from both threads at once on different chunks.
  virtual void render(RowChunk& chunk) const = 0;
  // Writes a rendered chunk, on the calling thread, in file order; a refused
  // write stops the run.
  virtual void write(const RowChunk& chunk) = 0;
};

// Renders and writes the rows of soundings 1 to nsound.
void render_and_write(ChunkedRows& rows, std::int32_t nsound);

}  // namespace korvan::writers
