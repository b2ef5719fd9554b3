// A large file is read in pieces by two threads, and loaded while it is
// scanned where its first soundings show its extents. Whatever the file
// holds, every way of reading it must give exactly what one thread reading
// it twice gives: the same notice, the same stop line (the first failure in
// file order, numbered from the file's start) or the same arrays.
//
// Lines of blank-separated plain values are read by a quicker way than the
// general reading; the same file with commas between its values (which only
// the general reading takes) must give the same outcome too.
#include <cstring>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "tests/reading_outcome.h"
#include "tests/test_support.h"

namespace korvan {
namespace {

using testing::ScratchDir;

using Outcome = testing::ReadingOutcome;
using Way = testing::ReadingWay;

// One thread, scanning the whole file before loading it.
constexpr Way kPlain{false, false};
constexpr Way kWays[] = {{true, true}, {true, false}, {false, true}};

Outcome read_file(const std::string& path, Way way) { return testing::read_data_file(path, way); }

// A survey of `soundings` soundings with varied counts, as lines.
std::vector<std::string> survey_lines(std::mt19937& rng, int soundings) {
  std::vector<std::string> lines = {std::to_string(soundings)};
  const auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  for (int s = 0; s < soundings; ++s) {
    const int nfreq = 1 + pick(3);
    lines.push_back(std::to_string(500000 + s) + ".25 " + std::to_string(6000000 + pick(1000)) + ".5 " +
                    std::to_string(nfreq));
    for (int f = 0; f < nfreq; ++f) {
      const int ntx = 1 + pick(2);
      lines.push_back(std::to_string(110 * (f + 1)) + ".0 " + std::to_string(ntx));
      for (int t = 0; t < ntx; ++t) {
        const int nrx = 1 + pick(2);
        lines.push_back("1.0 -30." + std::to_string(pick(10)) + " " + "xyzXZ"[pick(5)] + " " + std::to_string(nrx));
        for (int r = 0; r < nrx; ++r) {
          const char component = "bBiIqQ"[pick(6)];
          std::string line = "1.0 10.0 0.0 -30.0 z " + std::to_string(pick(5)) + " " + component + " " +
                             std::to_string(pick(5000)) + "." + std::to_string(pick(100));
          if (component == 'b' || component == 'B') line += " -" + std::to_string(pick(90)) + ".125";
          lines.push_back(line);
        }
      }
    }
  }
  return lines;
}

// Damage of the kinds that hand edits and broken transfers leave behind.
void damage(std::mt19937& rng, std::vector<std::string>& lines) {
  if (lines.size() < 2) return;
  const auto pick = [&rng](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
  const std::size_t at = 1 + pick(lines.size() - 1);
  switch (pick(9)) {
    case 0: lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(at)); break;
    case 1: lines[at] = "garbage " + lines[at]; break;
    case 2: lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), ""); break;
    case 3: lines[at] += " 7 8 9"; break;
    case 4: lines[at] = lines[at].substr(0, lines[at].size() / 2); break;
    case 5: {  // an entry spread over two lines
      const std::size_t blank = lines[at].find(' ');
      if (blank != std::string::npos) lines[at][blank] = '\n';
      break;
    }
    case 6: lines[at] = "0.0 1"; break;
    case 7: lines[at] += " /"; break;
    default: lines.resize(at); break;
  }
}

std::string join(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

TEST(ReadingWays, AnIntactSurveyIsReadInPiecesAndLoadedOnTheWay) {
  ScratchDir dir;
  std::mt19937 rng(7);
  for (int soundings : {10, 57, 300}) {
    dir.write("s.prd", join(survey_lines(rng, soundings)));
    const Outcome plain = read_file(dir.file("s.prd").string(), kPlain);
    const Outcome quick = read_file(dir.file("s.prd").string(), Way{true, true});
    EXPECT_EQ(quick.pieces > 1, soundings > 16) << soundings;
    EXPECT_TRUE(quick.loaded_on_the_way) << soundings;
    EXPECT_TRUE(plain.stop.empty()) << plain.stop;
    EXPECT_EQ(quick, plain) << soundings;
  }
}

TEST(ReadingWays, DamagedSurveysGiveTheSameOutcomeEveryWay) {
  ScratchDir dir;
  std::mt19937 rng(11);
  const int cases = testing::kSanitized ? 100 : 600;
  int in_pieces = 0;
  for (int n = 0; n < cases; ++n) {
    std::vector<std::string> lines = survey_lines(rng, 2 + static_cast<int>(rng() % 40));
    const int damages = 1 + static_cast<int>(rng() % 3);
    for (int d = 0; d < damages; ++d) damage(rng, lines);
    const std::string text = join(lines);
    dir.write("s.prd", text);
    const Outcome plain = read_file(dir.file("s.prd").string(), kPlain);
    for (const Way way : kWays) {
      const Outcome other = read_file(dir.file("s.prd").string(), way);
      in_pieces += other.pieces > 1 ? 1 : 0;
      ASSERT_EQ(other.console, plain.console) << text;
      ASSERT_EQ(other.stop, plain.stop) << text;
      ASSERT_EQ(other.arrays, plain.arrays) << text;
    }
  }
  // Most damaged files still have usable piece starts.
  EXPECT_GT(in_pieces, cases / 4);
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

// A survey with no, one or two kinds of damage; `damages` says how many.
std::string damaged_survey(std::mt19937& rng, int soundings, int& damages) {
  std::vector<std::string> lines = survey_lines(rng, soundings);
  damages = static_cast<int>(rng() % 3);
  for (int d = 0; d < damages; ++d) damage(rng, lines);
  return join(lines);
}

TEST(QuickReading, CommaSeparatedCopiesGiveTheSameOutcome) {
  ScratchDir dir;
  std::mt19937 rng(19);
  const int cases = testing::kSanitized ? 100 : 600;
  int intact = 0;
  for (int n = 0; n < cases; ++n) {
    int damages = 0;
    const std::string text = damaged_survey(rng, 1 + static_cast<int>(rng() % 6), damages);
    const std::string path = dir.file("s.prd").string();
    dir.write("s.prd", text);
    const Outcome quick = read_file(path, kPlain);
    dir.write("s.prd", with_commas(text));
    const Outcome general = read_file(path, kPlain);
    intact += quick.stop.empty() ? 1 : 0;
    ASSERT_EQ(quick.console, general.console) << text;
    ASSERT_EQ(quick.stop, general.stop) << text;
    ASSERT_EQ(quick.arrays, general.arrays) << text;
  }
  EXPECT_GT(intact, cases / 4);
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
  ScratchDir dir;
  const std::string path = dir.file("s.prd").string();
  for (const Place& place : places) {
    const std::size_t at = place.sounding.find('@');
    for (std::size_t cut = 1; cut <= place.lines.size(); ++cut) {
      std::string text = std::to_string(cut) + "\n";
      for (std::size_t s = 0; s < cut; ++s) {
        text += std::string(place.sounding.substr(0, at)) + place.lines[s] + std::string(place.sounding.substr(at + 1));
      }
      dir.write("s.prd", text);
      const Outcome quick = read_file(path, kPlain);
      dir.write("s.prd", with_commas(text));
      const Outcome general = read_file(path, kPlain);
      ASSERT_EQ(quick, general) << text << quick.stop;
    }
  }
}

// Every intact survey is loaded on the way, whatever its line layout.
TEST(ReadingWays, IntactSurveysAreReadOnce) {
  ScratchDir dir;
  std::mt19937 rng(29);
  const int cases = testing::kSanitized ? 60 : 300;
  for (int n = 0; n < cases; ++n) {
    const std::vector<std::string> lines = survey_lines(rng, 16 + static_cast<int>(rng() % 40));
    const std::string text = n % 2 == 0 ? join(lines) : with_commas(join(lines));
    dir.write("s.prd", text);
    for (const bool pieces : {false, true}) {
      const Outcome outcome = read_file(dir.file("s.prd").string(), Way{pieces, true});
      ASSERT_TRUE(outcome.stop.empty()) << outcome.stop << text;
      ASSERT_TRUE(outcome.loaded_on_the_way) << text;
    }
  }
}

// A header may claim far more soundings than the file holds: the arrays
// made on the way are sized by the file (the notice names both counts).
TEST(ReadingWays, AHeaderThatOverstatesTheCountSizesArraysByTheFile) {
  ScratchDir dir;
  std::mt19937 rng(31);
  std::vector<std::string> lines = survey_lines(rng, 20);
  lines[0] = "2000000000";
  dir.write("s.prd", join(lines));
  const std::string path = dir.file("s.prd").string();
  const Outcome classic = read_file(path, kPlain);
  ASSERT_TRUE(classic.stop.empty()) << classic.stop;
  for (const bool pieces : {false, true}) {
    const Outcome quick = testing::read_data_file(path, Way{pieces, true}, std::uint64_t{64} << 20);
    EXPECT_TRUE(quick.loaded_on_the_way) << pieces;
    EXPECT_EQ(quick, classic) << pieces;
  }
}

TEST(ReadingWays, FailuresInLaterPiecesAreNumberedFromTheFileStart) {
  ScratchDir dir;
  std::mt19937 rng(3);
  std::vector<std::string> lines = {"40"};
  for (int s = 0; s < 40; ++s) {
    lines.push_back("100.0 200.0 1");
    lines.push_back("110.0 1");
    lines.push_back(s == 37 ? "1.0 -30.0 w 1" : "1.0 -30.0 z 1");
    lines.push_back(s == 5 || s == 33 ? "1.0 10.0 0.0 -30.0 z 1 c 1.5" : "1.0 10.0 0.0 -30.0 z 1 b 1.5 2.5");
  }
  const std::string path = dir.file("s.prd").string();
  // A load failure early and late: the first one in the file is reported.
  dir.write("s.prd", join(lines));
  Outcome quick = read_file(path, Way{true, true});
  EXPECT_GT(quick.pieces, 1u);
  EXPECT_EQ(quick.stop.rfind("Stop: invalid data combo. for (ir=1,it=1,ifreq=1,isound=6,file=", 0), 0u) << quick.stop;
  EXPECT_EQ(quick, read_file(path, kPlain));
  // Only late.
  lines[4 * 5 + 4] = "1.0 10.0 0.0 -30.0 z 1 b 1.5 2.5";
  dir.write("s.prd", join(lines));
  quick = read_file(path, Way{true, true});
  EXPECT_NE(quick.stop.find("isound=34,"), std::string::npos) << quick.stop;
  EXPECT_EQ(quick, read_file(path, kPlain));
  // A scan failure late in the file comes before any load failure.
  lines[4 * 39 + 2] = "110.0 0";
  dir.write("s.prd", join(lines));
  quick = read_file(path, Way{true, true});
  EXPECT_EQ(quick.stop, "Stop: no. of transmitters < 1 for frequency 1, sounding 40.");
  EXPECT_EQ(quick, read_file(path, kPlain));
}

}  // namespace
}  // namespace korvan
