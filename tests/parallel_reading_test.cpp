// A large file is read in pieces on two threads. Whatever the file holds,
// reading it in pieces must give exactly what reading it in one piece gives:
// the same notice, the same stop with the same lines for standard error (the
// first fault in file order, numbered from the file's start), the same array
// bytes and the same warnings. Pieces are forced here on small surveys.
//
// Lines of blank-separated plain values are read by a quicker way than the
// general reading; the same file with commas between its values (which only
// the general reading takes) must give the same outcome too.
#include <random>
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

// A survey of `soundings` soundings as lines: with the counts of sounding 1
// throughout (a column layout), or with counts that vary.
std::vector<std::string> survey_lines(std::mt19937& rng, int soundings, bool column_layout) {
  std::vector<std::string> lines = {std::to_string(soundings)};
  const auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  const int layout_nfreq = 1 + pick(3);
  const std::vector<int> layout_ntx = {1 + pick(2), 1 + pick(2), 1 + pick(2)};
  for (int s = 0; s < soundings; ++s) {
    const int nfreq = column_layout ? layout_nfreq : 1 + pick(3);
    lines.push_back(std::to_string(500000 + s) + ".25 " + std::to_string(6000000 + pick(1000)) + ".5 " +
                    std::to_string(nfreq));
    for (int f = 0; f < nfreq; ++f) {
      const int ntx = column_layout ? layout_ntx[static_cast<std::size_t>(f)] : 1 + pick(2);
      lines.push_back(std::to_string(110 * (f + 1)) + ".0 " + std::to_string(ntx));
      for (int t = 0; t < ntx; ++t) {
        const int nrx = column_layout ? 1 : 1 + pick(2);
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

// Surveys in a column layout and not, intact and with up to three damages.
TEST(ReadingInPieces, EverySurveyReadsAsInOnePiece) {
  std::mt19937 rng(11);
  const int cases = testing::kSanitized ? 150 : 800;
  int stored = 0;
  for (int n = 0; n < cases; ++n) {
    std::vector<std::string> lines = survey_lines(rng, 1 + static_cast<int>(rng() % 60), rng() % 3 != 0);
    const int damages = static_cast<int>(rng() % 4);
    for (int d = 0; d < damages; ++d) damage(rng, lines);
    const std::string text = join(lines);
    const ReadingOutcome whole = read_text(text);
    ASSERT_TRUE(same_outcome(read_text(text, true), whole, text));
    stored += whole.arrays.empty() ? 0 : 1;
  }
  // The comparison covers stored arrays, not only stops.
  EXPECT_GT(stored, cases / 4);
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

TEST(QuickReading, CommaSeparatedCopiesGiveTheSameOutcome) {
  std::mt19937 rng(19);
  const int cases = testing::kSanitized ? 100 : 600;
  int intact = 0;
  for (int n = 0; n < cases; ++n) {
    std::vector<std::string> lines = survey_lines(rng, 1 + static_cast<int>(rng() % 6), rng() % 3 != 0);
    const int damages = static_cast<int>(rng() % 3);
    for (int d = 0; d < damages; ++d) damage(rng, lines);
    const std::string text = join(lines);
    const ReadingOutcome quick = read_text(text);
    intact += quick.stop.empty() ? 1 : 0;
    ASSERT_TRUE(same_outcome(read_text(with_commas(text)), quick, text, false));
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
  std::mt19937 rng(31);
  std::vector<std::string> lines = survey_lines(rng, 20, true);
  lines[0] = "2000000000";
  const std::string text = join(lines);
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
