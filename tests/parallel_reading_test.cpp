// A large file is read in pieces on two threads: the notice and the first
// fault in file order, numbered from the file's start, are what the file
// says, whichever piece holds them. Pieces are forced here on small surveys.
// (The known-values check judges the values read in pieces, and the
// split-reading fuzz target compares both readings on any bytes.)
//
// Lines of blank-separated plain values are read by a quicker way than the
// general reading, which takes a line again where it begins as the one
// before it; lines that only nearly do must give what the same lines with
// commas between their values (which only the general reading takes) give.
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "tests/reading_outcome.h"
#include "tests/test_support.h"

namespace korvan {
namespace {

using testing::read_text;
using testing::ReadingOutcome;

// Whether two readings gave the same, with the text in the message. The
// warnings of a copy with commas may differ in their hint (a value after the
// data then follows a comma, as a decimal comma would).
::testing::AssertionResult same_outcome(const ReadingOutcome& a, const ReadingOutcome& b, const std::string& text,
                                        bool warnings = true) {
  if (a.console == b.console && a.stop == b.stop && a.arrays == b.arrays && (!warnings || a.warnings == b.warnings)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "one: " << a.console << a.stop << "\n" << a.warnings << "\nother: "
                                       << b.console << b.stop << "\n" << b.warnings << "\ntext:\n" << text;
}

std::string join(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// Every run of blanks between two values of a line becomes a comma.
std::string with_commas(const std::string& text) {
  std::string out;
  std::size_t line_start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n') line_start = i + 1;
    if (c != ' ') {
      out += c;
      continue;
    }
    std::size_t j = i;
    while (j < text.size() && text[j] == ' ') ++j;
    const bool between = i > line_start && j < text.size() && text[j] != '\n';
    out += between ? std::string(",") : text.substr(i, j - i);
    i = j - 1;
  }
  return out;
}

// Frequency, transmitter and receiver lines that begin as the one before
// them at their place take its first values again; lines that only nearly do
// must be read afresh. (A line with a value that runs on past the repeated
// text can stop the run; the general reading must then stop alike.)
TEST(QuickReading, NearlyRepeatedLinesReadAsWritten) {
  struct Place {
    std::string_view sounding;  // with @ where the varied line goes
    std::vector<std::string> lines;
  };
  const Place places[] = {
      {"500000.0 6000000.5 1\n@\n1.0 -30.0 z 1\n1.0 6.3 0.0 -30.0 z 1 b 1.5 2.5\n",
       {"110.0 1", "110.05 1", "110.0\t1", "110.0 1", " 110.0 1", "110.0,1", "110.0 1", "110.0e0 1", "110.0  1",
        "110.0 1", "110.00 1", "110.0 2"}},
      {"500000.0 6000000.5 1\n110.0 1\n@\n1.0 6.3 0.0 -30.0 z 1 b 1.5 2.5\n",
       {"1.0 -30.0 z 1", "1.0 -30.05 z 1", "1.0 -30.0\tx 1", "1.0 -30.0 z 1", " 1.0 -30.0 z 1", "1.0 -30.0,y 1",
        "1.0 -30.0 z 1", "1.0 -30.0e0 z 1", "1.0 -30.0  X 1", "1.0 -30.0 z 1", "1.0 -30.00 z 1", "1.0 -30.0 w 1"}},
      {"500000.0 6000000.5 1\n110.0 1\n1.0 -30.0 z 1\n@\n",
       {"1.0 6.3 0.0 -30.19 z 1 b 1.5 2.5", "1.0 6.3 0.05 -30.19 z 1 b 1.5 2.5", "1.0 6.3 0.0\t-31.19 z 1 b 1.5 2.5",
        "1.0 6.3 0.0 -30.19 z 1 b 1.5 2.5", " 1.0 6.3 0.0 -30.19 z 1 b 1.5 2.5", "1.0 6.3 0.0,-32.0 z 1 b 1.5 2.5",
        "1.0 6.3 0.0 -30.19 z 1 q 7.5", "1.0 6.3 0.0 -30.19 z 1 b 1.5 2.5", "1.0 6.3 0.0e0 -30.19 z 1 b 1.5 2",
        "1.0 6.3 0.0  -29.0 x 2 i 3.25", "1.0 6.3 0.0 -30.19 z 1 b 1.5 2.5", "1.0 8.0 0.0 -30.190 z 1 b 1.5 2.5",
        "1.0 6.3 0.0 -30.19 z 1 q 2.5", "1.0 6.3 0.0 -30.19x 1 b 1.5 2.5", "1.0 6.3 0.05 x 1 b 1.5 2.5"}},
  };
  for (const Place& place : places) {
    const std::size_t at = place.sounding.find('@');
    for (std::size_t cut = 1; cut <= place.lines.size(); ++cut) {
      std::string text = std::to_string(cut) + "\n";
      for (std::size_t s = 0; s < cut; ++s) {
        text += std::string(place.sounding.substr(0, at)) + place.lines[s] + std::string(place.sounding.substr(at + 1));
      }
      ASSERT_TRUE(same_outcome(read_text(with_commas(text)), read_text(text), text, false));
    }
  }
}

// A header may claim far more soundings than the file holds: the arrays are
// sized by the file, and the warning names both counts.
TEST(ReadingInPieces, AHeaderThatOverstatesTheCount) {
  std::string text = "2000000000\n";
  for (int s = 0; s < 20; ++s) text += "500000.25 6000000.5 1\n110.0 1\n1.0 -30.0 z 1\n1.0 10.0 0.0 -30.0 z 1 b 1.5 2.5\n";
  for (const bool pieces : {false, true}) {
    const ReadingOutcome read = read_text(text, pieces);
    EXPECT_EQ(read.stop, "") << pieces;
    EXPECT_EQ(read.console, " 20 soundings read from \"d.prd\" (not ***** as advertised).\n") << pieces;
    EXPECT_TRUE(read.warnings.starts_with("d.prd: warning: the header announces 2000000000 soundings, the file holds "
                                          "20\n"))
        << read.warnings;
    EXPECT_EQ(read.survey.dims.nsound, 20);
  }
}

TEST(ReadingInPieces, FaultsInLaterPiecesAreNumberedFromTheFileStart) {
  std::vector<std::string> lines = {"40"};
  for (int s = 0; s < 40; ++s) {
    lines.push_back("100.0 200.0 1");
    lines.push_back("110.0 1");
    lines.push_back(s == 37 ? "1.0 -30.0 w 1" : "1.0 -30.0 z 1");
    lines.push_back(s == 5 || s == 33 ? "1.0 10.0 0.0 -30.0 z 1 c 1.5" : "1.0 10.0 0.0 -30.0 z 1 b 1.5 2.5");
  }
  const std::string notice = " 40 soundings read from \"d.prd\".\n";
  struct Case {
    const char* label;
    std::string console;
    std::string stop;
  };
  std::vector<std::pair<std::string, Case>> cases;
  cases.push_back({join(lines),
                   {"a value fault early and late: the first in the file", notice,
                    "Stop: invalid data combo. for (ir=1,it=1,ifreq=1,isound=6,file=\"d.prd\").\n"
                    "d.prd:25:24: the component is \"c\", not b, i or q (sounding 6, frequency 1, transmitter 1, "
                    "receiver 1)"}});
  lines[4 * 5 + 4] = "1.0 10.0 0.0 -30.0 z 1 b 1.5 2.5";
  cases.push_back({join(lines),
                   {"only late", notice,
                    "Stop: invalid data combo. for (ir=1,it=1,ifreq=1,isound=34,file=\"d.prd\").\n"
                    "d.prd:137:24: the component is \"c\", not b, i or q (sounding 34, frequency 1, transmitter 1, "
                    "receiver 1)"}});
  lines[4 * 39 + 2] = "110.0 0";
  cases.push_back({join(lines),
                   {"a fault of the structure late, before any value fault", "",
                    "Stop: no. of transmitters < 1 for frequency 1, sounding 40.\n"
                    "d.prd:159:7: the number of transmitters is 0, less than 1 (sounding 40, frequency 1)"}});
  lines[4 * 39 + 2] = "110.0 1";
  lines[4] = "1.0 10.0 0.0 -30.0 z 1 c 1.5";
  cases.push_back({join(lines),
                   {"a value fault in sounding 1, which later soundings are measured against", notice,
                    "Stop: invalid data combo. for (ir=1,it=1,ifreq=1,isound=1,file=\"d.prd\").\n"
                    "d.prd:5:24: the component is \"c\", not b, i or q (sounding 1, frequency 1, transmitter 1, "
                    "receiver 1)"}});
  for (const auto& [text, c] : cases) {
    for (const bool pieces : {false, true}) {
      const ReadingOutcome read = read_text(text, pieces);
      EXPECT_EQ(read.console, c.console) << c.label << (pieces ? ", in pieces" : "");
      EXPECT_EQ(read.stop, c.stop) << c.label << (pieces ? ", in pieces" : "");
    }
  }
}

}  // namespace
}  // namespace korvan
