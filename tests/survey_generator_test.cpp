// The synthetic surveys: they must be what the benchmarks and tests claim
// to use (a file the converter turns into columns, flown as a survey is, with
// the places that the track says), the same bytes for the same seed, and
// about the size asked for.
#include "bench/survey_generator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "bench/survey_track.h"

#include "tests/test_support.h"

namespace korvan::bench {
namespace {

std::string generate(const SurveyShape& shape, std::size_t chunk_bytes = std::size_t{4} << 20) {
  std::string text;
  SurveyGenerator(shape).write([&](const char* data, std::size_t size) { text.append(data, size); }, chunk_bytes);
  return text;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> words_of(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

const SurveyShape kShapes[] = {
    {1, 1, 1, 1}, {40, 5, 1, 1}, {30, 7, 2, 3}, {25, 3, 3, 12345}, {60, 5, 1, 3},
};

TEST(SurveyGenerator, SameLayoutInEverySoundingWithValuesInRange) {
  for (const SurveyShape& shape : kShapes) {
    SCOPED_TRACE("soundings " + std::to_string(shape.soundings) + ", seed " + std::to_string(shape.seed));
    const std::vector<std::string> lines = lines_of(generate(shape));
    const std::size_t per_sounding = 1 + static_cast<std::size_t>(shape.frequencies) * (1 + 2 * shape.transmitters);
    ASSERT_EQ(lines.size(), 1 + per_sounding * static_cast<std::size_t>(shape.soundings));
    EXPECT_EQ(lines[0], std::to_string(shape.soundings));

    // Every line except the coordinates repeats sounding 1's fixed words:
    // counts, frequencies, orientations, components.
    for (std::int64_t isound = 0; isound < shape.soundings; ++isound) {
      const std::size_t first = 1 + per_sounding * static_cast<std::size_t>(isound);
      EXPECT_EQ(words_of(lines[first]).at(2), std::to_string(shape.frequencies));
      for (std::size_t k = 1; k < per_sounding; ++k) {
        const std::vector<std::string> words = words_of(lines[first + k]);
        const std::vector<std::string> reference = words_of(lines[1 + k]);
        ASSERT_EQ(words.size(), reference.size()) << lines[first + k];
        if (words.size() == 2) {
          EXPECT_EQ(words, reference);  // frequency line
        } else if (words.size() == 4) {
          EXPECT_EQ(words[2], reference[2]);  // transmitter orientation
          EXPECT_EQ(words[3], "1");
          EXPECT_NEAR(std::atof(words[1].c_str()), -30.0, 6.0);
        } else {
          EXPECT_EQ(words[4], reference[4]);  // receiver orientation
          EXPECT_EQ(words[6], reference[6]);  // component
          const std::size_t values = words[6] == "b" ? 2 : 1;
          ASSERT_EQ(words.size(), 7 + values) << lines[first + k];
          for (std::size_t v = 7; v < words.size(); ++v) {
            // A response, or a spike of 3000 to 5000 either way.
            const double value = std::atof(words[v].c_str());
            EXPECT_TRUE((value >= 0.1 && value <= 5000.0) || (std::abs(value) >= 3000 && std::abs(value) <= 5000))
                << lines[first + k];
          }
        }
      }
    }
  }
}

TEST(SurveyGenerator, SoundingsWhereTheTrackPutsThem) {
  for (const SurveyShape& shape : {SurveyShape{3000, 2, 1, 1}, SurveyShape{3000, 1, 2, 77}}) {
    const std::vector<std::string> lines = lines_of(generate(shape));
    const std::size_t per_sounding = 1 + static_cast<std::size_t>(shape.frequencies) * (1 + 2 * shape.transmitters);
    SurveyTrack track(shape.seed);
    for (std::int64_t isound = 0; isound < shape.soundings; ++isound) {
      const TrackPoint point = track.next();
      char expected[64];
      std::snprintf(expected, sizeof expected, "%lld.%02lld %lld.%02lld", static_cast<long long>(point.x_hundredths / 100),
                    static_cast<long long>(point.x_hundredths % 100), static_cast<long long>(point.y_hundredths / 100),
                    static_cast<long long>(point.y_hundredths % 100));
      const std::string& line = lines[1 + per_sounding * static_cast<std::size_t>(isound)];
      ASSERT_EQ(line.substr(0, line.rfind(' ')), expected) << "sounding " << isound + 1 << ", seed " << shape.seed;
    }
  }
}

// Rare single spikes: the only negative values, each between two ordinary
// values of its channel.
TEST(SurveyGenerator, SpikesAreRareAndSingle) {
  const SurveyShape shape{10000, 5, 1, 3};
  const std::vector<std::string> lines = lines_of(generate(shape));
  const std::size_t per_sounding = 1 + 3 * static_cast<std::size_t>(shape.frequencies);
  std::size_t values = 0;
  std::size_t spikes = 0;
  for (std::size_t line = 1; line < lines.size(); ++line) {
    const std::vector<std::string> words = words_of(lines[line]);
    if (words.size() < 8) continue;
    for (std::size_t v = 7; v < words.size(); ++v) {
      ++values;
      if (std::atof(words[v].c_str()) >= 0) continue;
      ++spikes;
      for (const std::size_t neighbour : {line - per_sounding, line + per_sounding}) {
        if (neighbour < 1 || neighbour >= lines.size()) continue;
        EXPECT_GT(std::atof(words_of(lines[neighbour])[v].c_str()), 0) << "line " << neighbour + 1;
      }
    }
  }
  EXPECT_GT(spikes, 0U);
  EXPECT_LT(spikes * 2000, values);
}

// The track is flown as a survey: straight lines, each next one parallel
// (flown back, 50-200 m on, or 200-500 m for tie lines) after a recorded
// turn, or across at 90 degrees after a jump; lost fixes along some lines.
TEST(SurveyTrack, FlownAsASurveyIs) {
  struct Line {
    double x0, y0, x1, y1;  // first and last soundings, metres
    std::size_t first, last;
  };
  std::size_t lost_fixes = 0;
  for (const std::uint64_t seed : {1, 2, 3, 4}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    SurveyTrack track(seed);
    std::vector<TrackPoint> points;
    for (int i = 0; i < 30000; ++i) points.push_back(track.next());
    auto x = [&](std::size_t i) { return static_cast<double>(points[i].x_hundredths) / 100; };
    auto y = [&](std::size_t i) { return static_cast<double>(points[i].y_hundredths) / 100; };
    auto step = [&](std::size_t i) { return std::hypot(x(i) - x(i - 1), y(i) - y(i - 1)); };
    std::vector<Line> lines;
    for (std::size_t i = 0; i < points.size(); ++i) {
      if (points[i].line == 0) continue;
      if (lines.empty() || points[i].line != points[lines.back().first].line) {
        ASSERT_EQ(points[i].line, static_cast<std::int32_t>(lines.size()) + 1) << "sounding " << i;
        lines.push_back({x(i), y(i), x(i), y(i), i, i});
      }
      Line& line = lines.back();
      ASSERT_EQ(line.last + 1 == i || line.first == i || points[i - 1].line == points[i].line, true);
      line.x1 = x(i);
      line.y1 = y(i);
      line.last = i;
      if (i > line.first && step(i) > 50) ++lost_fixes;
    }
    ASSERT_GE(lines.size(), 4U);
    for (std::size_t k = 0; k + 2 < lines.size(); ++k) {  // the last line may be cut short
      const Line& a = lines[k];
      const Line& b = lines[k + 1];
      const double ax = a.x1 - a.x0, ay = a.y1 - a.y0, length = std::hypot(ax, ay);
      for (std::size_t i = a.first; i <= a.last; ++i) {
        EXPECT_LT(std::abs(ax * (y(i) - a.y0) - ay * (x(i) - a.x0)) / length, 10.0) << "line " << k + 1;
      }
      const double cosine = (ax * (b.x1 - b.x0) + ay * (b.y1 - b.y0)) / length / std::hypot(b.x1 - b.x0, b.y1 - b.y0);
      const bool turn = b.first - a.last > 1 && step(b.first) < 15;
      if (cosine < -0.999) {
        const double apart = std::abs(ax * (b.y0 - a.y0) - ay * (b.x0 - a.x0)) / length;
        EXPECT_TRUE(apart > 45 && apart < 505) << "lines " << k + 1 << " and " << k + 2 << " " << apart << " m apart";
        EXPECT_TRUE(turn && b.first - a.last > 8) << "no turn recorded after line " << k + 1;
      } else {
        EXPECT_LT(std::abs(cosine), 0.035) << "lines " << k + 1 << " and " << k + 2;
        EXPECT_GT(step(b.first), 100) << "no jump to line " << k + 2;
      }
    }
  }
  EXPECT_GT(lost_fixes, 0U);
}

TEST(SurveyGenerator, SameSeedSameBytesWhateverTheChunkSize) {
  const SurveyShape shape{300, 5, 2, 7};
  const std::string whole = generate(shape);
  EXPECT_EQ(generate(shape, 4 * SurveyGenerator::kMaxLine), whole);
  EXPECT_EQ(generate(shape, 1000), whole);
  EXPECT_NE(generate({300, 5, 2, 8}), whole);
}

TEST(SurveyGenerator, SizedSurveyComesCloseToTheTarget) {
  const struct {
    SurveyShape shape;
    std::uint64_t target;
  } cases[] = {
      {{1, 5, 1, 1}, 200'000}, {{1, 5, 1, 1}, 3'000'000}, {{1, 2, 3, 9}, 1'000'000}
  };
  for (const auto& c : cases) {
    SurveyShape shape = c.shape;
    shape.soundings = soundings_for_bytes(shape, c.target);
    const double size = static_cast<double>(generate(shape).size());
    EXPECT_NEAR(size / static_cast<double>(c.target), 1.0, 0.02) << c.target;
  }
  // A target below one sounding still gives a valid file.
  EXPECT_EQ(soundings_for_bytes({1, 1, 1, 1}, 1), 1);
}

TEST(SurveyGenerator, ConverterTurnsEverySurveyIntoOneRowPerSounding) {
  for (const SurveyShape& shape : kShapes) {
    SCOPED_TRACE("soundings " + std::to_string(shape.soundings) + ", seed " + std::to_string(shape.seed));
    testing::ScratchDir dir;
    dir.write("survey.prd", generate(shape));
    const testing::RunResult run = testing::run_converter(dir.path(), "survey.prd\n");
    EXPECT_NE(run.out.find("\nDone.\n"), std::string::npos) << run.out;
    std::size_t rows = 0;
    for (const std::string& line : lines_of(dir.read("vask.out"))) rows += line.rfind('/', 0) != 0;
    EXPECT_EQ(rows, static_cast<std::size_t>(shape.soundings));
  }
}

}  // namespace
}  // namespace korvan::bench
