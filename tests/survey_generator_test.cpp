// The benchmark surveys: they must be what the benchmarks claim to measure
// (a file the converter turns into columns), the same bytes for the same
// seed, and about the size asked for.
#include "bench/survey_generator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

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
            const double value = std::atof(words[v].c_str());
            EXPECT_TRUE(value >= 0.1 && value <= 5000.0) << lines[first + k];
          }
        }
      }
    }
  }
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
