// The survey reader through its door: text in memory read as the data file
// "d.prd", and what the reading gives - the stop with its console line and
// its lines for standard error, the dimensions and the notice, and what the
// arrays hold at which indices.
#include <gtest/gtest.h>

#include <string>

#include "reader/faults.h"
#include "reader/sounding_arrays.h"
#include "tests/reading_outcome.h"

namespace korvan::reader {
namespace {

using testing::read_text;
using testing::ReadingOutcome;

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
// frequency of the third, on line 14.
std::string third_sounding(std::string_view rest, std::string_view second_frequency = "220 1\n") {
  return "3\n" + kSounding + kSounding + "0 0 2\n110 1\n1 -30 z 1\n" + kReceiver + std::string(second_frequency) +
         std::string(rest);
}
const std::string kNotice1 = " 1 soundings read from \"d.prd\".\n";
const std::string kNotice3 = " 3 soundings read from \"d.prd\".\n";

// ---------------------------------------------------------------------------
// Every stop of the reading: its console line, then its lines for standard
// error - where the fault is and what is wrong, and any hint.

struct StopCase {
  const char* label;
  std::string text;
  std::string console;  // the notice, when the stop comes after it
  std::string stop;
};

TEST(ReaderStops, EveryFaultWithWhereAndWhy) {
  const std::string s3f2t1 = " (sounding 3, frequency 2, transmitter 1";
  const StopCase cases[] = {
      // The header.
      {"empty file", "", "",
       "Stop: error reading number of soundings from \"d.prd\".\nd.prd:1:1: the file holds no number of soundings"},
      {"only blank lines", "\n  \n\n", "",
       "Stop: error reading number of soundings from \"d.prd\".\nd.prd:4:1: the file holds no number of soundings"},
      {"header a word", "three\n", "",
       "Stop: error reading number of soundings from \"d.prd\".\n"
       "d.prd:1:1: the number of soundings \"three\" is not a whole number"},
      {"header a real", "1.0\n", "",
       "Stop: error reading number of soundings from \"d.prd\".\n"
       "d.prd:1:1: the number of soundings \"1.0\" is not a whole number"},
      {"header zero", "0\n" + kSounding, "",
       "Stop: number of soundings read in is less than 1.\nd.prd:1:1: the number of soundings is 0, less than 1"},
      {"header negative", " -3\n" + kSounding, "",
       "Stop: number of soundings read in is less than 1.\nd.prd:1:2: the number of soundings is -3, less than 1"},
      {"header of a compressed file", std::string("\xFD" "7zXZ\0", 6) + "rest", "",
       "Stop: error reading number of soundings from \"d.prd\".\n"
       "d.prd:1:1: the number of soundings \"?7zXZ?rest\" is not a whole number\n"
       "d.prd: hint: the file looks xz-compressed, not like a text file of soundings"},
      // The structure: the reading stops where it is met.
      {"frequency count not a number", "1\n100 200 one\n", "",
       "Stop: error reading no. of frequencies for sounding 1.\n"
       "d.prd:2:9: the number of frequencies \"one\" is not a whole number (sounding 1)"},
      {"word after the last receiver line", "2\n" + kSounding + kSounding + "end\n", "",
       "Stop: error reading no. of frequencies for sounding 3.\n"
       "d.prd:10:1: the x-coordinate \"end\" is not a number (sounding 3)"},
      {"frequency count zero", "2\n" + kSounding + "100 200 0\n", "",
       "Stop: no. of frequencies for sounding 2 < 1.\n"
       "d.prd:6:9: the number of frequencies is 0, less than 1 (sounding 2)"},
      {"frequency count null", "1\n100,200,,\n110 1\n", "",
       "Stop: no. of frequencies for sounding 1 < 1.\n"
       "d.prd:2:9: the number of frequencies is empty, less than 1 (sounding 1)"},
      {"file ends after a sounding entry", "1\n100 200 1\n", "",
       "Stop: error reading no. of transmitters for frequency 1, sounding 1.\n"
       "d.prd:3:1: the file ends before the frequency of this frequency entry (sounding 1, frequency 1)"},
      {"transmitter count not a number",
       "2\n" + kSounding + "100 200 3\n110 1\n1 -30 z 1\n" + kReceiver + "220 1\n1 -30 z 1\n" + kReceiver + "330 x\n",
       "",
       "Stop: error reading no. of transmitters for frequency 3, sounding 2.\n"
       "d.prd:13:5: the number of transmitters \"x\" is not a whole number (sounding 2, frequency 3)"},
      {"transmitter count negative", "1\n100 200 1\n110 -1\n", "",
       "Stop: no. of transmitters < 1 for frequency 1, sounding 1.\n"
       "d.prd:3:5: the number of transmitters is -1, less than 1 (sounding 1, frequency 1)"},
      {"transmitter count null", "1\n100 200 1\n110,,\n", "",
       "Stop: no. of transmitters < 1 for frequency 1, sounding 1.\n"
       "d.prd:3:5: the number of transmitters is empty, less than 1 (sounding 1, frequency 1)"},
      {"file ends after a frequency entry", "1\n100 200 1\n110 1\n", "",
       "Stop: error reading no. of receivers for (it=1,ifreq=1,isound=1).\n"
       "d.prd:4:1: the file ends before the moment of this transmitter entry (sounding 1, frequency 1, transmitter 1)"},
      // Nothing of the entry was read, whatever the entry before it held.
      {"file ends where transmitter 2 should be", "1\n100 200 1\n110 2\n1 -30 Z 1\n" + std::string(kReceiver), "",
       "Stop: error reading no. of receivers for (it=2,ifreq=1,isound=1).\n"
       "d.prd:6:1: the file ends before the moment of this transmitter entry (sounding 1, frequency 1, transmitter 2)"},
      {"receiver count a real", third_sounding("1 -30 z 1.5\n"), "",
       "Stop: error reading no. of receivers for (it=1,ifreq=2,isound=3).\n"
       "d.prd:15:9: the number of receivers \"1.5\" is not a whole number" + s3f2t1 + ")"},
      {"receiver count zero", "1\n100 200 1\n110 2\n1 -30 z 1\n" + std::string(kReceiver) + "1 -30 z 0\n", "",
       "Stop: no. or receivers < 1 for (it=2,ifreq=1,isound=1).\n"
       "d.prd:6:9: the number of receivers is 0, less than 1 (sounding 1, frequency 1, transmitter 2)"},
      {"file ends after a transmitter entry", "1\n100 200 1\n110 1\n1 -30 z 1\n", "",
       "Stop: error skipping data for (ir=1,it=1,ifreq=1,isound=1).\n"
       "d.prd:5:1: the file ends where receiver line 1 should be (sounding 1, frequency 1, transmitter 1, receiver 1)"},
      {"last receiver line missing", third_sounding("1 -30 z 3\nfirst\nsecond\n"), "",
       "Stop: error skipping data for (ir=3,it=1,ifreq=2,isound=3).\n"
       "d.prd:18:1: the file ends where receiver line 3 should be" + s3f2t1 + ", receiver 3)"},
      // A blank receiver line shifts the entries after it: the hint says so.
      {"blank receiver line", "2\n" + kSounding + "100 200 1\n110 1\n1 -30 z 1\n\n" + kReceiver, "",
       "Stop: error reading no. of frequencies for sounding 3.\n"
       "d.prd:10:10: the number of frequencies \"0.0\" is not a whole number (sounding 3)\n"
       "d.prd:9:1: hint: the receiver line of sounding 2, frequency 1, transmitter 1, receiver 1 is blank or short; "
       "the entries after it are read out of place"},
      // Values: the first is reported after the notice, in the load's words.
      {"frequency zero", "1\n100 200 1\n0.0 2\n1 -30 z 1\n" + std::string(kReceiver) + "1 -30 z 1\n" + kReceiver,
       kNotice1,
       "Stop: frequency <= 0 for frequency 1, sounding 1 (file=\"d.prd\").\n"
       "d.prd:3:1: the frequency is 0.0, not greater than 0 (sounding 1, frequency 1)"},
      {"frequency negative", third_sounding("1 -30 z 1\n" + std::string(kReceiver), "-1e-30 1\n"), kNotice3,
       "Stop: frequency <= 0 for frequency 2, sounding 3 (file=\"d.prd\").\n"
       "d.prd:14:1: the frequency is -1e-30, not greater than 0 (sounding 3, frequency 2)"},
      {"transmitter orientation q", third_sounding("1 -30 q 1\n") + kReceiver, kNotice3,
       "Stop: invalid Tx orientation for (it=1,ifreq=2,isound=3,file=\"d.prd\").\n"
       "d.prd:15:7: the transmitter orientation is \"q\", not x, y or z" + s3f2t1 + ")"},
      {"transmitter orientation blank in quotes", "1\n100 200 1\n110 1\n1 -30 ' ' 1\n" + std::string(kReceiver),
       kNotice1,
       "Stop: invalid Tx orientation for (it=1,ifreq=1,isound=1,file=\"d.prd\").\n"
       "d.prd:4:7: the transmitter orientation is \"'\", not x, y or z (sounding 1, frequency 1, transmitter 1)"},
      // The next line would complete a read that is not confined to its line.
      {"receiver line short", third_sounding("1 -30 z 1\n1.0 10.0 0.0 -30.0 z 1\n" + kSounding), " 4 soundings read "
       "from \"d.prd\" (not 3 as advertised).\n",
       "Stop: error reading reveicer info. for (ir=1,it=1,ifreq=2,isound=3,file=\"d.prd\").\n"
       "d.prd:16:23: the receiver line ends before its component (a receiver entry stands on one line)" + s3f2t1 +
           ", receiver 1)"},
      {"receiver line malformed", "1\n100 200 1\n110 1\n1 -30 z 1\n1.0 10.0 0.0 -30.0 z 1.5 b 1 2\n", kNotice1,
       "Stop: error reading reveicer info. for (ir=1,it=1,ifreq=1,isound=1,file=\"d.prd\").\n"
       "d.prd:5:22: the data-type code \"1.5\" is not a whole number (sounding 1, frequency 1, transmitter 1, "
       "receiver 1)"},
      {"receiver orientation w", third_sounding("1 -30 z 1\n1.0 10.0 0.0 -30.0 w 1 b 120.5 -40.25\n"), kNotice3,
       "Stop: invalid Rx orient. for (ir=1,it=1,ifreq=2,isound=3,file=\"d.prd\").\n"
       "d.prd:16:20: the receiver orientation is \"w\", not x, y or z" + s3f2t1 + ", receiver 1)"},
      {"component c", third_sounding("1 -30 z 1\n1.0 10.0 0.0 -30.0 z 1 c 120.5 -40.25\n"), kNotice3,
       "Stop: invalid data combo. for (ir=1,it=1,ifreq=2,isound=3,file=\"d.prd\").\n"
       "d.prd:16:24: the component is \"c\", not b, i or q" + s3f2t1 + ", receiver 1)"},
      {"both components, one datum", third_sounding("1 -30 z 1\n1.0 10.0 0.0 -30.0 z 1 b 120.5\n-40.25\n"),
       kNotice3,
       "Stop: error reading data for (ir=1,it=1,ifreq=2,isound=3,file=\"d.prd\").\n"
       "d.prd:16:31: the receiver line ends before its second data value (a receiver entry stands on one line)" +
           s3f2t1 + ", receiver 1)"},
      {"datum not a number", "1\n100 200 1\n110 1\n1 -30 z 2\n" + std::string(kReceiver) + "1 10 0 -30 z 1 q minus\n",
       kNotice1,
       "Stop: error reading data for (ir=2,it=1,ifreq=1,isound=1,file=\"d.prd\").\n"
       "d.prd:6:18: the first data value \"minus\" is not a number (sounding 1, frequency 1, transmitter 1, "
       "receiver 2)"},
      {"repeat runs into the datum", "1\n100 200 1\n110 1\n1 -30 z 1\n1.0 10.0 0.0 -30.0 z 1 2*i 5\n", kNotice1,
       "Stop: error reading data for (ir=1,it=1,ifreq=1,isound=1,file=\"d.prd\").\n"
       "d.prd:5:24: the first data value \"2*i\" is not a number (sounding 1, frequency 1, transmitter 1, "
       "receiver 1)"},
      // A fault of the structure anywhere comes before a fault of a value.
      {"structure after a value", "2\n100 200 1\n0 1\n1 -30 z 1\n" + std::string(kReceiver) + "100 200 1\n110 0\n",
       "",
       "Stop: no. of transmitters < 1 for frequency 1, sounding 2.\n"
       "d.prd:7:5: the number of transmitters is 0, less than 1 (sounding 2, frequency 1)"},
  };
  for (const StopCase& c : cases) {
    const ReadingOutcome read = read_text(c.text);
    EXPECT_EQ(read.stop, c.stop) << c.label;
    EXPECT_EQ(read.console, c.console) << c.label;
  }
}

// ---------------------------------------------------------------------------
// Dimensions and the notice.

struct DimsCase {
  const char* label;
  std::string text;
  Dimensions dims;
  std::string notice;
};

TEST(ReaderDimensions, CountsTheFileAndReportsWhatItFound) {
  const std::string one_frequency = "0 0 1\n110 1\n1 -30 z 1\n" + std::string(kReceiver);
  const std::string three_frequencies = "0 0 3\n110 1\n1 -30 z 1\n" + std::string(kReceiver) + "220 1\n1 -30 z 1\n" +
                                        kReceiver + "330 1\n1 -30 z 1\n" + kReceiver;
  const std::string two_transmitters = "0 0 1\n110 2\n1 -30 z 1\n" + std::string(kReceiver) + "1 -30 x 1\n" + kReceiver;
  const std::string four_receivers = "0 0 1\n110 1\n1 -30 z 4\n" + std::string(kReceiver) + kReceiver + kReceiver +
                                     kReceiver;
  const DimsCase cases[] = {
      {"smallest file", kSmallestFile, {1, 1, 1, 1}, kNotice1},
      {"three as announced", "3\n" + kSounding + kSounding + kSounding, {3, 1, 1, 1}, kNotice3},
      {"fewer than announced", "5\n" + kSounding + kSounding + kSounding, {3, 1, 1, 1},
       " 3 soundings read from \"d.prd\" (not 5 as advertised).\n"},
      {"more than announced", "2\n" + kSounding + kSounding + kSounding, {3, 1, 1, 1},
       " 3 soundings read from \"d.prd\" (not 2 as advertised).\n"},
      {"announced, none held", "2\n", {0, 0, 0, 0}, " 0 soundings read from \"d.prd\" (not 2 as advertised).\n"},
      {"announcement too wide for the notice", "100000\n" + kSounding, {1, 1, 1, 1},
       " 1 soundings read from \"d.prd\" (not ***** as advertised).\n"},
      {"largest frequency count first", "3\n" + three_frequencies + one_frequency + one_frequency, {3, 3, 1, 1},
       kNotice3},
      {"largest frequency count last", "3\n" + one_frequency + one_frequency + three_frequencies, {3, 3, 1, 1},
       kNotice3},
      {"largest counts in different soundings", "3\n" + four_receivers + three_frequencies + two_transmitters,
       {3, 3, 2, 4}, kNotice3},
      {"blank lines after the last line", kSmallestFile + std::string("\n   \n\t\n\n"), {1, 1, 1, 1}, kNotice1},
      // An end of file met in the middle of a sounding entry is still the
      // end of the file for the sounding read.
      {"sounding entry cut short at the end", kSmallestFile + std::string("5.0 6.0\n"), {1, 1, 1, 1}, kNotice1},
      {"values after the needed ones ignored",
       "1 2 3\n100 200 1 7 8\n110 1 extra\n1 -30 z 1 more values\n" + std::string(kReceiver), {1, 1, 1, 1}, kNotice1},
      {"entries spread over lines", "1\n100\n200\n\n1\n110\n1\n1\n-30\nz\n1\n" + std::string(kReceiver), {1, 1, 1, 1},
       kNotice1},
  };
  for (const DimsCase& c : cases) {
    const ReadingOutcome read = read_text(c.text);
    EXPECT_FALSE(read.stop.starts_with("Stop: ")) << c.label << ": " << read.stop;
    EXPECT_EQ(read.survey.dims.nsound, c.dims.nsound) << c.label;
    EXPECT_EQ(read.survey.dims.maxfreq, c.dims.maxfreq) << c.label;
    EXPECT_EQ(read.survey.dims.maxtx, c.dims.maxtx) << c.label;
    EXPECT_EQ(read.survey.dims.maxrx, c.dims.maxrx) << c.label;
    EXPECT_EQ(read.console, c.notice) << c.label;
  }
}

// ---------------------------------------------------------------------------
// What the arrays hold.

SoundingArrays loaded(const std::string& text) {
  ReadingOutcome read = read_text(text);
  EXPECT_EQ(read.stop, "");
  if (!read.survey.arrays) throw std::runtime_error("no arrays: " + read.stop);
  return std::move(*read.survey.arrays);
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
TEST(ReaderArrays, ReceiverLineValues) {
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
    const SoundingArrays a = loaded("1\n100 200 1\n110 1\n1.0 -30.0 Z 1\n" + std::string(c.line) + "\n");
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
TEST(ReaderArrays, NullDatumTakesNothingFromThePreviousReceiver) {
  const std::string transmitters = "110 3\n1 -30 z 1\n1 10 0 -30 z 1 b 7 8\n1 -30 z 1\n1 10 0 -30 z 1 b ,,,\n"
                                   "1 -30 z 1\n1 10 0 -30 z 1 i ,,\n";
  const SoundingArrays a = loaded("2\n0 0 1\n" + transmitters + "0 0 1\n110 3\n1 -30 z 1\n1 10 0 -30 z 1 b 9,,\n" +
                                  "1 -30 z 1\n1 10 0 -30 z 1 b 1 2\n1 -30 z 1\n1 10 0 -30 z 1 i 3\n");
  EXPECT_EQ(a.prd(1, 1, 1, 1).inphase, 7);
  EXPECT_EQ(a.prd(1, 1, 1, 1).quadrature, 8);
  EXPECT_EQ(a.prd(1, 2, 1, 1).inphase, 0);
  EXPECT_EQ(a.prd(1, 2, 1, 1).quadrature, 0);
  EXPECT_EQ(a.prd(1, 3, 1, 1).inphase, 0);
  EXPECT_EQ(a.prd(1, 3, 1, 1).quadrature, 0);
  EXPECT_EQ(a.prd(1, 1, 1, 2).inphase, 9);
  EXPECT_EQ(a.prd(1, 1, 1, 2).quadrature, 0);
}

// Soundings of two frequencies, the second with two transmitters: each
// value lands at its indices.
TEST(ReaderArrays, NestedEntriesLandAtTheirIndices) {
  const SoundingArrays a = loaded(
      "4\n"
      "1 2 2\n110 1\n1 -30 z 1\n1 10 0 -30 z 1 i 1\n"
      "220 2\n1 -31 x 1\n1 10 0 -30 z 2 q 2\n1 -32 y 1\n1 10 0 -30 y 3 b 3 4\n"
      "3 4 2\n330 1\n1 -33 z 1\n1 10 0 -30 x 5 b 6 7\n"
      "440 2\n1 -34 x 1\n1 10 0 -30 z 6 q 8\n1 -35 y 1\n1 10 0 -30 z 7 i 9\n");
  EXPECT_EQ(a.dims.nsound, 2);
  EXPECT_EQ(a.soundx(2), 3);
  EXPECT_EQ(a.soundy(2), 4);
  EXPECT_EQ(a.nfreqs(2), 2);
  EXPECT_EQ(a.freq(1, 2), 330);
  EXPECT_EQ(a.freq(2, 2), 440);
  EXPECT_EQ(a.nt(2, 1), 2);
  EXPECT_EQ(a.zt(2, 2, 1), -32);
  EXPECT_EQ(a.ot(2, 2, 1), 'y');
  EXPECT_EQ(a.zt(2, 2, 2), -35);
  EXPECT_EQ(a.ontype(1, 2, 2, 1), 3);
  EXPECT_EQ(a.or_(1, 2, 2, 1), 'y');
  EXPECT_EQ(a.prd(1, 2, 2, 1).quadrature, 4);
  EXPECT_EQ(a.prd(1, 1, 2, 1).quadrature, 2);
  EXPECT_EQ(a.octype(1, 1, 1, 2), 'b');
  EXPECT_EQ(a.prd(1, 1, 1, 2).inphase, 6);
  EXPECT_EQ(a.prd(1, 2, 2, 2).inphase, 9);
  EXPECT_EQ(a.prd(1, 1, 1, 1).inphase, 1);
}

TEST(ReaderArrays, LineEndsDoNotChangeTheArrays) {
  const std::string lf =
      "2\n"
      "1 2 1\n110 2\n1 -30 Z 1\n1 10 0 -30 z 1 b 1 2\n1 -31 x 1\n1 10 0 -30 Y 2 i 3\n"
      "\n5 6 1\n120 2\n1 -30 z 1\n1 10 0 -30 z 1 b 5 6\n1 -31 x 1\n1 10 0 -30 x 4 Q 7";
  std::string crlf;
  for (const char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const ReadingOutcome reference = read_text(lf + "\n");
  ASSERT_TRUE(reference.survey.arrays) << reference.stop;
  EXPECT_EQ(reference.survey.arrays->prd(1, 1, 1, 2).inphase, 5);
  EXPECT_EQ(reference.survey.arrays->ontype(1, 2, 1, 1), 2);
  EXPECT_EQ(reference.survey.arrays->prd(1, 2, 1, 2).quadrature, 7);
  EXPECT_EQ(read_text(crlf + "\r\n").arrays, reference.arrays);
  EXPECT_EQ(read_text(lf).arrays, reference.arrays);
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
  EXPECT_EQ(read_text(frequencies + "110 many\n").stop,
            "Stop: error reading no. of transmitters for frequency **, sounding 1.\n"
            "d.prd:300:5: the number of transmitters \"many\" is not a whole number (sounding 1, frequency 100)");
  EXPECT_EQ(read_text(receivers + "1.0 10.0 0.0 -30.0 v 1 b 120.5 -40.25\n").stop,
            "Stop: invalid Rx orient. for (ir=**,it=1,ifreq=1,isound=1,file=\"d.prd\").\n"
            "d.prd:104:20: the receiver orientation is \"v\", not x, y or z (sounding 1, frequency 1, transmitter 1, "
            "receiver 100)");
}

// 100000 small soundings: the numbers past 99999 in the notice and in the
// messages of both kinds.
TEST(ReaderMessages, SoundingAbove99999InMessages) {
  std::string soundings;
  soundings.reserve(std::size_t{100000} * 40);
  for (int i = 0; i < 100000; ++i) soundings += "0 0 1\n1 1\n1 0 z 1\n1 0 0 0 z 1 i 0\n";
  const ReadingOutcome all = read_text("100000\n" + soundings);
  EXPECT_EQ(all.console, " ***** soundings read from \"d.prd\".\n");
  EXPECT_EQ(all.survey.dims.nsound, 100000);
  EXPECT_EQ(read_text("1\n" + soundings + "0 0 x\n").stop,
            "Stop: error reading no. of frequencies for sounding *****.\n"
            "d.prd:400002:5: the number of frequencies \"x\" is not a whole number (sounding 100001)");
  soundings.replace(soundings.size() - 4, 1, "c");
  EXPECT_EQ(read_text("1\n" + soundings).stop,
            "Stop: invalid data combo. for (ir=1,it=1,ifreq=1,isound=*****,file=\"d.prd\").\n"
            "d.prd:400001:13: the component is \"c\", not b, i or q (sounding 100000, frequency 1, transmitter 1, "
            "receiver 1)");
}

// The load's location text holds 70 characters: a long name loses its end,
// then its closing quote and parenthesis. Other messages keep it whole.
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
    const std::string name = letters.substr(0, c.length);
    const std::string what = c.fault == bad_frequency ? "frequency <= 0 for " : "invalid data combo. for ";
    const ReadingOutcome read = testing::read_text("1\n100 200 1\n" + c.fault, false, name);
    EXPECT_EQ(read.stop.substr(0, read.stop.find('\n')), "Stop: " + what + c.expected_location + ".") << c.length;
    EXPECT_EQ(read.console, " 1 soundings read from \"" + name + "\".\n") << c.length;
  }
}

}  // namespace
}  // namespace korvan::reader
