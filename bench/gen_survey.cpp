// gen_survey: writes a synthetic predicted-data file for the benchmarks.
//
//   gen_survey (--soundings N | --size-mb M) [--frequencies F]
//              [--transmitters T] [--seed S] --out PATH
//   gen_survey --version
//
// The same arguments always give the same bytes, for one version of the
// generator (--version prints it). PATH "-" writes to standard output. One
// summary line goes to standard error.
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "bench/survey_generator.h"

namespace {

constexpr std::string_view kUsage =
    "usage: gen_survey (--soundings N | --size-mb M) [--frequencies F] [--transmitters T] [--seed S] --out PATH\n"
    "       gen_survey --version\n";

[[noreturn]] void fail(const std::string& message) {
  std::fprintf(stderr, "gen_survey: %s\n%.*s", message.c_str(), static_cast<int>(kUsage.size()), kUsage.data());
  std::exit(2);
}

template <typename T>
T parse_number(std::string_view option, std::string_view text, T lo, T hi) {
  T value{};
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < lo || value > hi) {
    fail("bad value \"" + std::string(text) + "\" for " + std::string(option));
  }
  return value;
}

struct Options {
  korvan::bench::SurveyShape shape;
  std::optional<std::int64_t> soundings;
  std::optional<double> size_mb;
  std::string out;
};

Options parse(int argc, char** argv) {
  constexpr std::int32_t kMaxCount = std::numeric_limits<std::int32_t>::max();
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string_view option = argv[i];
    if (option == "--help" || option == "-h") {
      std::fwrite(kUsage.data(), 1, kUsage.size(), stdout);
      std::exit(0);
    }
    if (option == "--version") {
      std::printf("gen_survey %d\n", korvan::bench::kGeneratorVersion);
      std::exit(0);
    }
    if (i + 1 >= argc) fail("missing value for " + std::string(option));
    const std::string_view value = argv[++i];
    if (option == "--soundings") {
      o.soundings = parse_number<std::int64_t>(option, value, 1, kMaxCount);
    } else if (option == "--size-mb") {
      o.size_mb = parse_number<double>(option, value, 0.001, 1e7);
    } else if (option == "--frequencies") {
      o.shape.frequencies = parse_number<std::int32_t>(option, value, 1, kMaxCount);
    } else if (option == "--transmitters") {
      o.shape.transmitters = parse_number<std::int32_t>(option, value, 1, kMaxCount);
    } else if (option == "--seed") {
      o.shape.seed = parse_number<std::uint64_t>(option, value, 0, std::numeric_limits<std::uint64_t>::max());
    } else if (option == "--out") {
      o.out = value;
    } else {
      fail("unknown option " + std::string(option));
    }
  }
  if (o.soundings.has_value() == o.size_mb.has_value()) fail("give exactly one of --soundings and --size-mb");
  if (o.out.empty()) fail("--out is required");
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  Options o = parse(argc, argv);
  // MB here is 10^6 bytes, as in the benchmark's MB/s.
  o.shape.soundings =
      o.soundings ? *o.soundings
                  : korvan::bench::soundings_for_bytes(o.shape, static_cast<std::uint64_t>(*o.size_mb * 1e6));

  std::int64_t written = 0;
  if (o.out == "-") {
    bool ok = true;
    korvan::bench::SurveyGenerator(o.shape).write([&](const char* data, std::size_t size) {
      if (ok && std::fwrite(data, 1, size, stdout) != size) ok = false;
      written += static_cast<std::int64_t>(size);
    });
    if (std::fflush(stdout) != 0 || !ok) written = -1;
  } else {
    written = korvan::bench::write_survey_file(o.shape, o.out);
  }
  if (written < 0) {
    std::fprintf(stderr, "gen_survey: cannot write %s: %s\n", o.out.c_str(), std::strerror(errno));
    return 1;
  }
  std::fprintf(stderr, "gen_survey: %lld soundings, %d frequencies, %d transmitters, seed %llu: %lld bytes to %s\n",
               static_cast<long long>(o.shape.soundings), o.shape.frequencies, o.shape.transmitters,
               static_cast<unsigned long long>(o.shape.seed), static_cast<long long>(written), o.out.c_str());
  return 0;
}
