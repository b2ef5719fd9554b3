// The predicted-data reader: the dimension scan and the data load, called
// directly on small files in a scratch directory, so that the file names in
// their messages stay short and exact.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

#include "reader/getdims.h"
#include "reader/getprd.h"
#include "reader/faults.h"
#include "reader/sounding_arrays.h"
#include "tests/test_support.h"
#include "textio/console.h"
#include "textio/termination.h"

namespace korvan::reader {
namespace {

using korvan::testing::ScratchDir;

// The current directory is a fresh scratch directory for the life of this
// object; the old one comes back before the scratch directory goes away.
class InScratchDir {
 public:
  InScratchDir() : old_(std::filesystem::current_path()) { std::filesystem::current_path(dir_.path()); }
  ~InScratchDir() { std::filesystem::current_path(old_); }
  InScratchDir(const InScratchDir&) = delete;
  InScratchDir& operator=(const InScratchDir&) = delete;

  void write(std::string_view name, std::string_view contents) const { dir_.write(name, contents); }

 private:
  ScratchDir dir_;
  std::filesystem::path old_;
};

// The console line of the stop that `action` ends with, or a marker.
std::string stop_line(const std::function<void()>& action) {
  try {
    action();
  } catch (const textio::FatalStop& stop) {
    return stop.console_line();
  }
  return "(no stop)";
}

DataFile data_file(std::string_view name) { return {std::string(name), std::string(name)}; }

struct Scanned {
  Dimensions dims;
  std::string console;  // what the scan showed, as the console shows it
  Scan scan;
};

Scanned scan(std::string_view name) {
  Scanned result;
  textio::Console console(&result.console);
  result.scan = getdims_mod::getdims(data_file(name), console);
  result.dims = result.scan.dims;
  return result;
}

struct Loaded {
  Dimensions dims;
  std::string console;
  SoundingArrays arrays;
};

// Both passes, as the run makes them.
Loaded load(std::string_view name) {
  Scanned scanned = scan(name);
  if (!scanned.scan.arrays) scanned.scan.arrays = allocate_sounding_arrays(scanned.dims);
  if (!scanned.scan.arrays) throw std::runtime_error("allocation failed");
  getprd_mod::getprd(data_file(name), scanned.scan);
  return {scanned.dims, scanned.console, std::move(*scanned.scan.arrays)};
}

// The load by itself, into arrays of the given extents, as if a scan had
// found them.
void load_alone(std::string_view name, const Dimensions& dims) {
  Scan alone;
  alone.dims = dims;
  alone.arrays = allocate_sounding_arrays(dims);
  if (!alone.arrays) throw std::runtime_error("allocation failed");
  getprd_mod::getprd(data_file(name), alone);
}

// Entries of the format, one line each.
constexpr const char* kReceiver = "1.0 10.0 0.0 -30.0 z 1 b 120.5 -40.25\n";
constexpr const char* kSmallestFile =
    "1\n"
    "100.0 200.0 1\n"
    "110.0 1\n"
    "1.0 -30.0 z 1\n"
    "1.0 10.0 0.0 -30.0 z 1 b 120.5 -40.25\n";
// A complete sounding with one frequency, transmitter and receiver.
const std::string kSounding = std::string("100 200 1\n110 1\n1 -30 z 1\n") + kReceiver;
// Three soundings; the faults below are put after the entry of the second
// frequency of the third.
std::string third_sounding(std::string_view rest, std::string_view second_frequency = "220 1\n") {
  return "3\n" + kSounding + kSounding + "0 0 2\n110 1\n1 -30 z 1\n" + kReceiver + std::string(second_frequency) +
         std::string(rest);
}

// ---------------------------------------------------------------------------
// Every message of both passes, provoked once.

enum class Setup { file, missing, directory };

struct StopCase {
  const char* label;
  Setup setup;
  std::string contents;
  std::string line;
  // The load is called directly with these extents (the scan is skipped);
  // without them both passes run as in a conversion.
  std::optional<Dimensions> load_dims = std::nullopt;
};

std::string run_to_stop(const StopCase& c) {
  InScratchDir dir;
  if (c.setup == Setup::file) dir.write("data.prd", c.contents);
  if (c.setup == Setup::directory) std::filesystem::create_directory("data.prd");
  return stop_line([&] {
    if (!c.load_dims) {
      load("data.prd");
      return;
    }
    load_alone("data.prd", *c.load_dims);
  });
}

TEST(DimensionScan, EveryFailureStopsWithItsMessage) {
  const StopCase cases[] = {
      {"missing file", Setup::missing, "", "Stop: file \"data.prd\" does not exist."},
      {"directory", Setup::directory, "", "Stop: error opening predicted data file \"data.prd\"."},
      {"empty file", Setup::file, "", "Stop: error reading number of soundings from \"data.prd\"."},
      {"only blank lines", Setup::file, "\n  \n\n", "Stop: error reading number of soundings from \"data.prd\"."},
      {"header not a number", Setup::file, "three\n", "Stop: error reading number of soundings from \"data.prd\"."},
      {"header a real", Setup::file, "1.0\n", "Stop: error reading number of soundings from \"data.prd\"."},
      {"header zero", Setup::file, "0\n" + kSounding, "Stop: number of soundings read in is less than 1."},
      {"header negative", Setup::file, "-3\n" + kSounding, "Stop: number of soundings read in is less than 1."},
      {"frequency count not a number", Setup::file, "1\n100 200 one\n",
       "Stop: error reading no. of frequencies for sounding 1."},
      {"word after the last receiver line", Setup::file, "2\n" + kSounding + kSounding + "end\n",
       "Stop: error reading no. of frequencies for sounding 3."},
      {"frequency count zero", Setup::file, "2\n" + kSounding + "100 200 0\n",
       "Stop: no. of frequencies for sounding 2 < 1."},
      {"frequency count null", Setup::file, "1\n100,200,,\n110 1\n", "Stop: no. of frequencies for sounding 1 < 1."},
      {"file ends after a sounding entry", Setup::file, "1\n100 200 1\n",
       "Stop: error reading no. of transmitters for frequency 1, sounding 1."},
      {"transmitter count not a number", Setup::file,
       "2\n" + kSounding + "100 200 3\n110 1\n1 -30 z 1\n" + kReceiver + "220 1\n1 -30 z 1\n" + kReceiver + "330 x\n",
       "Stop: error reading no. of transmitters for frequency 3, sounding 2."},
      {"transmitter count negative", Setup::file, "1\n100 200 1\n110 -1\n",
       "Stop: no. of transmitters < 1 for frequency 1, sounding 1."},
      {"transmitter count null", Setup::file, "1\n100 200 1\n110,,\n",
       "Stop: no. of transmitters < 1 for frequency 1, sounding 1."},
      {"file ends after a frequency entry", Setup::file, "1\n100 200 1\n110 1\n",
       "Stop: error reading no. of receivers for (it=1,ifreq=1,isound=1)."},
      {"receiver count a real", Setup::file, third_sounding("1 -30 z 1.5\n"),
       "Stop: error reading no. of receivers for (it=1,ifreq=2,isound=3)."},
      {"receiver count zero", Setup::file, "1\n100 200 1\n110 2\n1 -30 z 1\n" + std::string(kReceiver) + "1 -30 z 0\n",
       "Stop: no. or receivers < 1 for (it=2,ifreq=1,isound=1)."},
      {"file ends after a transmitter entry", Setup::file, "1\n100 200 1\n110 1\n1 -30 z 1\n",
       "Stop: error skipping data for (ir=1,it=1,ifreq=1,isound=1)."},
      {"last receiver line missing", Setup::file, third_sounding("1 -30 z 3\nfirst\nsecond\n"),
       "Stop: error skipping data for (ir=3,it=1,ifreq=2,isound=3)."},
  };
  for (const StopCase& c : cases) EXPECT_EQ(run_to_stop(c), c.line) << c.label;
}

TEST(DataLoad, EveryFailureStopsWithItsMessage) {
  const Dimensions ones{1, 1, 1, 1};
  const StopCase cases[] = {
      // Faults that the scan cannot see, found in a whole reading.
      {"frequency zero", Setup::file,
       "1\n100 200 1\n0.0 2\n1 -30 z 1\n" + std::string(kReceiver) + "1 -30 z 1\n" + kReceiver,
       "Stop: frequency <= 0 for frequency 1, sounding 1 (file=\"data.prd\")."},
      {"frequency negative", Setup::file, third_sounding("1 -30 z 1\n" + std::string(kReceiver), "-1e-30 1\n"),
       "Stop: frequency <= 0 for frequency 2, sounding 3 (file=\"data.prd\")."},
      {"transmitter orientation q", Setup::file, third_sounding("1 -30 q 1\n") + kReceiver,
       "Stop: invalid Tx orientation for (it=1,ifreq=2,isound=3,file=\"data.prd\")."},
      {"transmitter orientation blank in quotes", Setup::file,
       "1\n100 200 1\n110 1\n1 -30 ' ' 1\n" + std::string(kReceiver),
       "Stop: invalid Tx orientation for (it=1,ifreq=1,isound=1,file=\"data.prd\")."},
      // The next line would complete a read that is not confined to its line.
      {"receiver info short", Setup::file, third_sounding("1 -30 z 1\n1.0 10.0 0.0 -30.0 z 1\n" + kSounding),
       "Stop: error reading reveicer info. for (ir=1,it=1,ifreq=2,isound=3,file=\"data.prd\")."},
      {"receiver info malformed", Setup::file, "1\n100 200 1\n110 1\n1 -30 z 1\n1.0 10.0 0.0 -30.0 z 1.5 b 1 2\n",
       "Stop: error reading reveicer info. for (ir=1,it=1,ifreq=1,isound=1,file=\"data.prd\")."},
      {"receiver orientation w", Setup::file, third_sounding("1 -30 z 1\n1.0 10.0 0.0 -30.0 w 1 b 120.5 -40.25\n"),
       "Stop: invalid Rx orient. for (ir=1,it=1,ifreq=2,isound=3,file=\"data.prd\")."},
      {"component c", Setup::file, third_sounding("1 -30 z 1\n1.0 10.0 0.0 -30.0 z 1 c 120.5 -40.25\n"),
       "Stop: invalid data combo. for (ir=1,it=1,ifreq=2,isound=3,file=\"data.prd\")."},
      {"both components, one datum", Setup::file, third_sounding("1 -30 z 1\n1.0 10.0 0.0 -30.0 z 1 b 120.5\n-40.25\n"),
       "Stop: error reading data for (ir=1,it=1,ifreq=2,isound=3,file=\"data.prd\")."},
      {"datum not a number", Setup::file,
       "1\n100 200 1\n110 1\n1 -30 z 2\n" + std::string(kReceiver) + "1.0 10.0 0.0 -30.0 z 1 q minus\n",
       "Stop: error reading data for (ir=2,it=1,ifreq=1,isound=1,file=\"data.prd\")."},
      {"repeat runs into the datum", Setup::file, "1\n100 200 1\n110 1\n1 -30 z 1\n1.0 10.0 0.0 -30.0 z 1 2*i 5\n",
       "Stop: error reading data for (ir=1,it=1,ifreq=1,isound=1,file=\"data.prd\")."},
      // Faults that the scan would report first: the load alone.
      {"missing file", Setup::missing, "", "Stop: file \"data.prd\" does not exist.", ones},
      {"directory", Setup::directory, "", "Stop: error opening \"data.prd\" for the second time.", ones},
      {"empty file", Setup::file, "", "Stop: error during the second reading of the number of soundings.", ones},
      {"header not a number", Setup::file, "x\n" + kSounding,
       "Stop: error during the second reading of the number of soundings.", ones},
      {"fewer soundings than the scan found", Setup::file, "2\n" + kSounding,
       "Stop: error reading coordinates of sounding 2.", Dimensions{2, 1, 1, 1}},
      {"coordinate not a number", Setup::file, "1\n100 north 1\n", "Stop: error reading coordinates of sounding 1.",
       ones},
      {"frequency count zero", Setup::file, "1\n100 200 0\n", "Stop: no. of frequencies < 1 for sounding 1.", ones},
      {"frequency not a number", Setup::file, "1\n100 200 1\nhigh 1\n",
       "Stop: error reading frequency 1, sounding 1 (file=\"data.prd\").", ones},
      {"transmitter count zero", Setup::file, "1\n100 200 1\n110 0\n",
       "Stop: no. of transmitters < 1 for frequency 1, sounding 1 (file=\"data.prd\").", ones},
      {"transmitter entry short", Setup::file, "1\n100 200 1\n110 1\n1 -30 z\n",
       "Stop: error reading Tx height, etc., for (it=1,ifreq=1,isound=1,file=\"data.prd\").", ones},
      {"receiver count zero", Setup::file, "1\n100 200 1\n110 1\n1 -30 z 0\n",
       "Stop: no. of receivers < 1 for (it=1,ifreq=1,isound=1,file=\"data.prd\").", ones},
      // A file that has grown since the scan must not be written past the
      // arrays made for it.
      {"more frequencies than scanned", Setup::file, "1\n100 200 2\n110 1\n1 -30 z 1\n" + std::string(kReceiver),
       "Stop: data file \"data.prd\" changed between the two readings.", ones},
      {"more transmitters than scanned", Setup::file, "1\n100 200 1\n110 2\n1 -30 z 1\n" + std::string(kReceiver),
       "Stop: data file \"data.prd\" changed between the two readings.", ones},
      {"more receivers than scanned", Setup::file, "1\n100 200 1\n110 1\n1 -30 z 2\n" + std::string(kReceiver),
       "Stop: data file \"data.prd\" changed between the two readings.", ones},
  };
  for (const StopCase& c : cases) EXPECT_EQ(run_to_stop(c), c.line) << c.label;
}

// ---------------------------------------------------------------------------
// Dimensions and the scan's notice.

struct DimsCase {
  const char* label;
  std::string contents;
  Dimensions dims;
  std::string notice;
};

TEST(DimensionScan, CountsTheFileAndReportsWhatItFound) {
  const std::string one_frequency = "0 0 1\n110 1\n1 -30 z 1\n" + std::string(kReceiver);
  const std::string three_frequencies = "0 0 3\n110 1\n1 -30 z 1\n" + std::string(kReceiver) + "220 1\n1 -30 z 1\n" +
                                        kReceiver + "330 1\n1 -30 z 1\n" + kReceiver;
  const std::string two_transmitters = "0 0 1\n110 2\n1 -30 z 1\nr\n1 -30 x 1\nr\n";
  const std::string four_receivers = "0 0 1\n110 1\n1 -30 z 4\nr\nr\n\nr\n";
  const DimsCase cases[] = {
      {"smallest file", kSmallestFile, {1, 1, 1, 1}, " 1 soundings read from \"data.prd\".\n"},
      {"three as announced",
       "3\n" + kSounding + kSounding + kSounding,
       {3, 1, 1, 1},
       " 3 soundings read from \"data.prd\".\n"},
      {"fewer than announced",
       "5\n" + kSounding + kSounding + kSounding,
       {3, 1, 1, 1},
       " 3 soundings read from \"data.prd\" (not 5 as advertised).\n"},
      {"more than announced",
       "2\n" + kSounding + kSounding + kSounding,
       {3, 1, 1, 1},
       " 3 soundings read from \"data.prd\" (not 2 as advertised).\n"},
      {"announced, none held", "2\n", {0, 0, 0, 0}, " 0 soundings read from \"data.prd\" (not 2 as advertised).\n"},
      {"announcement too wide for the notice",
       "100000\n" + kSounding,
       {1, 1, 1, 1},
       " 1 soundings read from \"data.prd\" (not ***** as advertised).\n"},
      {"largest frequency count first",
       "3\n" + three_frequencies + one_frequency + one_frequency,
       {3, 3, 1, 1},
       " 3 soundings read from \"data.prd\".\n"},
      {"largest frequency count last",
       "3\n" + one_frequency + one_frequency + three_frequencies,
       {3, 3, 1, 1},
       " 3 soundings read from \"data.prd\".\n"},
      {"largest counts in different soundings",
       "3\n" + four_receivers + three_frequencies + two_transmitters,
       {3, 3, 2, 4},
       " 3 soundings read from \"data.prd\".\n"},
      {"blank lines after the last line",
       kSmallestFile + std::string("\n   \n\t\n\n"),
       {1, 1, 1, 1},
       " 1 soundings read from \"data.prd\".\n"},
      // An end of file met in the middle of a sounding entry is still the
      // end of the file for the sounding read.
      {"sounding entry cut short at the end",
       kSmallestFile + std::string("5.0 6.0\n"),
       {1, 1, 1, 1},
       " 1 soundings read from \"data.prd\".\n"},
      {"values after the needed ones ignored",
       "1 2 3\n100 200 1 7 8\n110 1 extra\n1 -30 z 1 more values\n" + std::string(kReceiver),
       {1, 1, 1, 1},
       " 1 soundings read from \"data.prd\".\n"},
      {"entries spread over lines",
       "1\n100\n200\n\n1\n110\n1\n1\n-30\nz\n1\n" + std::string(kReceiver),
       {1, 1, 1, 1},
       " 1 soundings read from \"data.prd\".\n"},
  };
  for (const DimsCase& c : cases) {
    InScratchDir dir;
    dir.write("data.prd", c.contents);
    Scanned s;
    const std::string stopped = stop_line([&] { s = scan("data.prd"); });
    ASSERT_EQ(stopped, "(no stop)") << c.label;
    EXPECT_EQ(s.dims.nsound, c.dims.nsound) << c.label;
    EXPECT_EQ(s.dims.maxfreq, c.dims.maxfreq) << c.label;
    EXPECT_EQ(s.dims.maxtx, c.dims.maxtx) << c.label;
    EXPECT_EQ(s.dims.maxrx, c.dims.maxrx) << c.label;
    EXPECT_EQ(s.console, c.notice) << c.label;
  }
}

// ---------------------------------------------------------------------------
// What the load stores.

TEST(DataLoad, SmallestFileFillsEveryArray) {
  InScratchDir dir;
  dir.write("data.prd", kSmallestFile);
  const Loaded l = load("data.prd");
  EXPECT_EQ(l.console, " 1 soundings read from \"data.prd\".\n");
  EXPECT_EQ(l.dims.nsound, 1);
  EXPECT_EQ(l.dims.maxfreq, 1);
  EXPECT_EQ(l.dims.maxtx, 1);
  EXPECT_EQ(l.dims.maxrx, 1);
  const SoundingArrays& a = l.arrays;
  EXPECT_EQ(a.soundx(1), 100.0f);
  EXPECT_EQ(a.soundy(1), 200.0f);
  EXPECT_EQ(a.nfreqs(1), 1);
  EXPECT_EQ(a.freq(1, 1), 110.0f);
  EXPECT_EQ(a.nt(1, 1), 1);
  EXPECT_EQ(a.momt(1, 1, 1), 1.0f);
  EXPECT_EQ(a.zt(1, 1, 1), -30.0f);
  EXPECT_EQ(a.ot(1, 1, 1), 'z');
  EXPECT_EQ(a.nr(1, 1, 1), 1);
  EXPECT_EQ(a.momr(1, 1, 1, 1), 1.0f);
  EXPECT_EQ(a.trx(1, 1, 1, 1), 10.0f);
  EXPECT_EQ(a.try_(1, 1, 1, 1), 0.0f);
  EXPECT_EQ(a.zr(1, 1, 1, 1), -30.0f);
  EXPECT_EQ(a.or_(1, 1, 1, 1), 'z');
  EXPECT_EQ(a.ontype(1, 1, 1, 1), 1);
  EXPECT_EQ(a.octype(1, 1, 1, 1), 'b');
  EXPECT_EQ(a.prd(1, 1, 1, 1).inphase, 120.5f);
  EXPECT_EQ(a.prd(1, 1, 1, 1).quadrature, -40.25f);
}

struct ReceiverCase {
  const char* line;
  float momr, trx, try_, zr;
  char orientation;
  std::int32_t ontype;
  char octype;
  float inphase, quadrature;
};

// One receiver line after a transmitter with an upper-case orientation.
TEST(DataLoad, ReceiverLineValues) {
  const ReceiverCase cases[] = {
      {"1.0 10.0 0.0 -30.0 z 3 B 120.5 -40.25", 1, 10, 0, -30, 'z', 3, 'b', 120.5f, -40.25f},
      {"1.0 10.0 0.0 -30.0 z 3 i 120.5", 1, 10, 0, -30, 'z', 3, 'i', 120.5f, 0},
      {"1.0 10.0 0.0 -30.0 z 3 Q -40.25", 1, 10, 0, -30, 'z', 3, 'q', 0, -40.25f},
      {"1.0 10.0 0.0 -30.0 X 3 I 120.5 99.0", 1, 10, 0, -30, 'x', 3, 'i', 120.5f, 0},
      {"1.0 10.0 0.0 -30.0 Y -7 q 5 6 7", 1, 10, 0, -30, 'y', -7, 'q', 0, 5},
      {"2 -4 8.5 1e1 zulu 0 bravo 1.5D3 1.5+3", 2, -4, 8.5f, 10, 'z', 0, 'b', 1500, 1500},
      {"1.0\t10.0\t0.0\t-30.0\tz\t1\tb\t7.5\t8.5", 1, 10, 0, -30, 'z', 1, 'b', 7.5f, 8.5f},
      {"1.0,10.0,0.0,-30.0,'Z',1,\"b\",7.5,8.5", 1, 10, 0, -30, 'z', 1, 'b', 7.5f, 8.5f},
      // Repeats, nulls and slashes keep their meaning on the line.
      {"4*1.0 z 1 b 2*3.5", 1, 1, 1, 1, 'z', 1, 'b', 3.5f, 3.5f},
      {"1.0 10.0 0.0 -30.0 z 1 b 5,,", 1, 10, 0, -30, 'z', 1, 'b', 5, 0},
      {"1.0 10.0 0.0 -30.0 z 1 b,,5", 1, 10, 0, -30, 'z', 1, 'b', 0, 5},
      {"1.0 10.0 0.0 -30.0 z 1 b ,,,", 1, 10, 0, -30, 'z', 1, 'b', 0, 0},
      {"1.0 10.0 0.0 -30.0 z 1 b 2*", 1, 10, 0, -30, 'z', 1, 'b', 0, 0},
      {"1.0 10.0 0.0 -30.0 z 1 b 7.5 / 8.5", 1, 10, 0, -30, 'z', 1, 'b', 7.5f, 0},
      {"1.0 10.0 0.0 -30.0 z 1 b / 7.5 8.5", 1, 10, 0, -30, 'z', 1, 'b', 0, 0},
      {"1.0 10.0 0.0 -30.0 z 1 i /", 1, 10, 0, -30, 'z', 1, 'i', 0, 0},
  };
  for (const ReceiverCase& c : cases) {
    InScratchDir dir;
    dir.write("data.prd", "1\n100 200 1\n110 1\n1.0 -30.0 Z 1\n" + std::string(c.line) + "\n");
    Loaded l;
    const std::string stopped = stop_line([&] { l = load("data.prd"); });
    ASSERT_EQ(stopped, "(no stop)") << c.line;
    const SoundingArrays& a = l.arrays;
    EXPECT_EQ(a.momt(1, 1, 1), 1.0f) << c.line;
    EXPECT_EQ(a.zt(1, 1, 1), -30.0f) << c.line;
    EXPECT_EQ(a.ot(1, 1, 1), 'z') << c.line;
    EXPECT_EQ(a.nr(1, 1, 1), 1) << c.line;
    EXPECT_EQ(a.momr(1, 1, 1, 1), c.momr) << c.line;
    EXPECT_EQ(a.trx(1, 1, 1, 1), c.trx) << c.line;
    EXPECT_EQ(a.try_(1, 1, 1, 1), c.try_) << c.line;
    EXPECT_EQ(a.zr(1, 1, 1, 1), c.zr) << c.line;
    EXPECT_EQ(a.or_(1, 1, 1, 1), c.orientation) << c.line;
    EXPECT_EQ(a.ontype(1, 1, 1, 1), c.ontype) << c.line;
    EXPECT_EQ(a.octype(1, 1, 1, 1), c.octype) << c.line;
    EXPECT_EQ(a.prd(1, 1, 1, 1).inphase, c.inphase) << c.line;
    EXPECT_EQ(a.prd(1, 1, 1, 1).quadrature, c.quadrature) << c.line;
  }
}

// A null datum is a zero, whatever the receiver before it held.
TEST(DataLoad, NullDatumTakesNothingFromThePreviousReceiver) {
  InScratchDir dir;
  dir.write("data.prd",
            "2\n"
            "0 0 1\n110 1\n1 -30 z 3\n"
            "1 10 0 -30 z 1 b 7 8\n"
            "1 10 0 -30 z 1 b ,,,\n"
            "1 10 0 -30 z 1 i ,,\n"
            "0 0 1\n110 1\n1 -30 z 1\n"
            "1 10 0 -30 z 1 b 9,,\n");
  const Loaded l = load("data.prd");
  const SoundingArrays& a = l.arrays;
  EXPECT_EQ(a.prd(1, 1, 1, 1).inphase, 7);
  EXPECT_EQ(a.prd(1, 1, 1, 1).quadrature, 8);
  EXPECT_EQ(a.prd(2, 1, 1, 1).inphase, 0);
  EXPECT_EQ(a.prd(2, 1, 1, 1).quadrature, 0);
  EXPECT_EQ(a.prd(3, 1, 1, 1).inphase, 0);
  EXPECT_EQ(a.prd(3, 1, 1, 1).quadrature, 0);
  EXPECT_EQ(a.prd(1, 1, 1, 2).inphase, 9);
  EXPECT_EQ(a.prd(1, 1, 1, 2).quadrature, 0);
}

// A sounding with several frequencies, transmitters and receivers lands at
// the right indices.
TEST(DataLoad, NestedEntriesLandAtTheirIndices) {
  InScratchDir dir;
  dir.write("data.prd",
            "4\n"
            "1 2 1\n110 1\n1 -30 z 1\n1 10 0 -30 z 1 i 1\n"
            "3 4 2\n"
            "220 2\n"
            "1 -31 x 1\n1 10 0 -30 z 2 q 2\n"
            "1 -32 y 2\n1 10 0 -30 z 3 b 3 4\n1 10 0 -30 y 4 i 5\n"
            "330 1\n1 -33 z 1\n1 10 0 -30 x 5 b 6 7\n");
  const Loaded l = load("data.prd");
  EXPECT_EQ(l.console, " 2 soundings read from \"data.prd\" (not 4 as advertised).\n");
  const SoundingArrays& a = l.arrays;
  EXPECT_EQ(a.soundx(2), 3);
  EXPECT_EQ(a.soundy(2), 4);
  EXPECT_EQ(a.nfreqs(2), 2);
  EXPECT_EQ(a.freq(2, 2), 330);
  EXPECT_EQ(a.nt(1, 2), 2);
  EXPECT_EQ(a.zt(2, 1, 2), -32);
  EXPECT_EQ(a.ot(2, 1, 2), 'y');
  EXPECT_EQ(a.nr(2, 1, 2), 2);
  EXPECT_EQ(a.ontype(2, 2, 1, 2), 4);
  EXPECT_EQ(a.or_(2, 2, 1, 2), 'y');
  EXPECT_EQ(a.prd(2, 2, 1, 2).inphase, 5);
  EXPECT_EQ(a.prd(1, 2, 1, 2).quadrature, 4);
  EXPECT_EQ(a.prd(1, 1, 1, 2).quadrature, 2);
  EXPECT_EQ(a.octype(1, 1, 2, 2), 'b');
  EXPECT_EQ(a.prd(1, 1, 2, 2).inphase, 6);
  EXPECT_EQ(a.prd(1, 1, 1, 1).inphase, 1);
}

// Whether two loads filled every array byte for byte alike.
bool same_arrays(const SoundingArrays& x, const SoundingArrays& y) {
  auto same = [](const auto& p, const auto& q) {
    return p.size() == q.size() &&
           std::memcmp(p.data(), q.data(), static_cast<std::size_t>(p.size()) * sizeof *p.data()) == 0;
  };
  return same(x.soundx, y.soundx) && same(x.soundy, y.soundy) && same(x.nfreqs, y.nfreqs) && same(x.freq, y.freq) &&
         same(x.nt, y.nt) && same(x.momt, y.momt) && same(x.zt, y.zt) && same(x.ot, y.ot) && same(x.nr, y.nr) &&
         same(x.momr, y.momr) && same(x.trx, y.trx) && same(x.try_, y.try_) && same(x.zr, y.zr) && same(x.or_, y.or_) &&
         same(x.prd, y.prd) && same(x.ontype, y.ontype) && same(x.octype, y.octype);
}

TEST(DataLoad, LineEndsDoNotChangeTheArrays) {
  const std::string lf =
      "2\n"
      "1 2 1\n110 2\n1 -30 Z 1\n1 10 0 -30 z 1 b 1 2\n1 -31 x 2\n1 10 0 -30 Y 2 i 3\n1 10 0 -30 z 3 q 4\n"
      "\n5 6 1\n120 2\n1 -30 z 1\n1 10 0 -30 z 1 b 5 6\n1 -31 x 1\n1 10 0 -30 x 4 Q 7";
  std::string crlf;
  for (const char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  InScratchDir dir;
  dir.write("lf.prd", lf + "\n");
  dir.write("crlf.prd", crlf + "\r\n");
  dir.write("unended.prd", lf);
  const Loaded reference = load("lf.prd");
  EXPECT_EQ(reference.arrays.prd(1, 1, 1, 2).inphase, 5);
  EXPECT_EQ(reference.arrays.ontype(2, 2, 1, 1), 3);
  EXPECT_TRUE(same_arrays(reference.arrays, load("crlf.prd").arrays));
  EXPECT_TRUE(same_arrays(reference.arrays, load("unended.prd").arrays));
}

// ---------------------------------------------------------------------------
// Numbers and names in the messages.

TEST(ReaderMessages, NumbersTooWideShowAsterisks) {
  EXPECT_EQ(sounding_text(1), "1");
  EXPECT_EQ(sounding_text(99999), "99999");
  EXPECT_EQ(sounding_text(100000), "*****");
  EXPECT_EQ(index_text(7), "7");
  EXPECT_EQ(index_text(99), "99");
  EXPECT_EQ(index_text(100), "**");
}

TEST(ReaderMessages, IndexAbove99InALocation) {
  std::string frequencies = "1\n0 0 100\n";
  for (int i = 0; i < 99; ++i) frequencies += "110 1\n1 -30 z 1\n" + std::string(kReceiver);
  std::string receivers = "1\n0 0 1\n110 1\n1 -30 z 100\n";
  for (int i = 0; i < 99; ++i) receivers += kReceiver;
  const StopCase cases[] = {
      {"frequency 100", Setup::file, frequencies + "110 many\n",
       "Stop: error reading no. of transmitters for frequency **, sounding 1."},
      {"receiver 100", Setup::file, receivers + "1.0 10.0 0.0 -30.0 v 1 b 120.5 -40.25\n",
       "Stop: invalid Rx orient. for (ir=**,it=1,ifreq=1,isound=1,file=\"data.prd\")."},
  };
  for (const StopCase& c : cases) EXPECT_EQ(run_to_stop(c), c.line) << c.label;
}

// 100000 small soundings: the numbers past 99999 in the scan's notice and
// in both passes' messages.
TEST(ReaderMessages, SoundingAbove99999InMessages) {
  std::string soundings;
  soundings.reserve(100000 * 40);
  for (int i = 0; i < 100000; ++i) soundings += "0 0 1\n1 1\n1 0 z 1\n1 0 0 0 z 1 i 0\n";
  InScratchDir dir;
  dir.write("data.prd", "100000\n" + soundings);
  const Scanned s = scan("data.prd");
  EXPECT_EQ(s.console, " ***** soundings read from \"data.prd\".\n");
  EXPECT_EQ(s.dims.nsound, 100000);

  // The load asked for one sounding more than the file holds.
  EXPECT_EQ(stop_line([&] { load_alone("data.prd", {100001, 1, 1, 1}); }),
            "Stop: error reading coordinates of sounding *****.");

  dir.write("data.prd", "1\n" + soundings + "0 0 x\n");
  EXPECT_EQ(stop_line([] { scan("data.prd"); }), "Stop: error reading no. of frequencies for sounding *****.");
}

// The load's location text holds 70 characters: a long name loses its end,
// then its closing quote and parenthesis.
TEST(ReaderMessages, LongNameIsCutInTheLoadLocation) {
  const std::string letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  struct Case {
    std::size_t length;
    std::string fault;  // the rest of the file after the sounding entry
    std::string expected_location;
  };
  const std::string bad_frequency = "0 1\n1 -30 z 1\n" + std::string(kReceiver);
  const std::string bad_receiver = "110 1\n1 -30 z 1\n1.0 10.0 0.0 -30.0 z 1 x 120.5 -40.25\n";
  const Case cases[] = {
      // "frequency 1, sounding 1 (file=\"" is 31 characters.
      {37, bad_frequency, "frequency 1, sounding 1 (file=\"" + letters.substr(0, 37) + "\")"},
      {38, bad_frequency, "frequency 1, sounding 1 (file=\"" + letters.substr(0, 38) + "\""},
      {39, bad_frequency, "frequency 1, sounding 1 (file=\"" + letters.substr(0, 39)},
      {60, bad_frequency, "frequency 1, sounding 1 (file=\"" + letters.substr(0, 39)},
      // "(ir=1,it=1,ifreq=1,isound=1,file=\"" is 34 characters.
      {60, bad_receiver, "(ir=1,it=1,ifreq=1,isound=1,file=\"" + letters.substr(0, 36)},
  };
  for (const Case& c : cases) {
    InScratchDir dir;
    const std::string name = letters.substr(0, c.length);
    dir.write(name, "1\n100 200 1\n" + c.fault);
    const std::string what = c.fault == bad_frequency ? "frequency <= 0 for " : "invalid data combo. for ";
    EXPECT_EQ(stop_line([&] { load(name); }), "Stop: " + what + c.expected_location + ".") << c.length;
  }
  // The names in the other messages are never cut.
  InScratchDir dir;
  const std::string name = letters + letters;
  EXPECT_EQ(stop_line([&] { scan(name); }), "Stop: file \"" + name + "\" does not exist.");
}

}  // namespace
}  // namespace korvan::reader
