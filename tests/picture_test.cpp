// The survey picture: the kind a file name asks for, how columns share
// panels and what their titles say, round ticks, the layout, each kind
// written whole, a lone spike among many soundings reaching the picture,
// the map's colours set by the bulk of the values, no profile drawn across
// a change of flight line, the reason for a file that refuses the picture,
// and --plot, --channel and --line as the user sees them. Built only with
// cairo.
#if KORVAN_HAVE_CAIRO

#include <cairo.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "picture/picture.h"
#include "picture/profile_track.h"
#include "picture/profiles.h"
#include "picture/ticks.h"
#include "tests/test_support.h"

namespace korvan::picture {
namespace {

using korvan::testing::RunResult;
using korvan::testing::run_converter;
using korvan::testing::ScratchDir;
using Values = std::function<float(std::size_t column, std::int64_t i)>;

const ChannelInfo kInphase900{900, 'z', 1, Component::inphase, "900Hz_z_inphase"};
const ChannelInfo kQuadrature900{900, 'z', 1, Component::quadrature, "900Hz_z_quadrature"};
const Values kWave = [](std::size_t column, std::int64_t i) {
  return static_cast<float>(std::sin(0.01 * static_cast<double>(i)) + static_cast<double>(column));
};

// Soundings along x, `spacing` metres apart, all on flight line 1.
class LineSurvey : public SurveyView {
 public:
  LineSurvey(std::int64_t count, std::vector<ChannelInfo> channels, Values values, double spacing = 1)
      : count_(count), channels_(std::move(channels)), values_(std::move(values)), spacing_(spacing) {}
  std::int64_t soundings() const override { return count_; }
  double x(std::int64_t i) const override { return 6781500 + spacing_ * static_cast<double>(i); }
  double y(std::int64_t) const override { return 512000; }
  double height(std::int64_t i) const override { return 30 + std::sin(0.003 * static_cast<double>(i)); }
  std::int32_t line(std::int64_t) const override { return 1; }
  std::size_t columns() const override { return channels_.size(); }
  ChannelInfo channel(std::size_t column) const override { return channels_[column]; }
  float value(std::size_t column, std::int64_t i) const override { return values_(column, i); }

 private:
  std::int64_t count_;
  std::vector<ChannelInfo> channels_;
  Values values_;
  double spacing_;
};

// The picture written into a new file at `path`.
std::optional<std::string> write_picture_file(const std::filesystem::path& path, PictureKind kind,
                                              const SurveyView& survey, const PictureRequest& request = {}) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return "cannot open " + path.string();
  std::optional<std::string> failure = write_picture(fd, kind, survey, request);
  ::close(fd);
  return failure;
}

cairo_surface_t* read_png(const std::filesystem::path& path) {
  return cairo_image_surface_create_from_png(path.c_str());
}

struct Pixel {
  int red, green, blue;
};

Pixel pixel_at(cairo_surface_t* png, int column, int row) {
  const unsigned char* data = cairo_image_surface_get_data(png);
  const std::ptrdiff_t offset =
      std::ptrdiff_t{row} * cairo_image_surface_get_stride(png) + std::ptrdiff_t{column} * 4;
  const std::uint32_t pixel = *reinterpret_cast<const std::uint32_t*>(data + offset);
  return {static_cast<int>((pixel >> 16) & 0xffU), static_cast<int>((pixel >> 8) & 0xffU),
          static_cast<int>(pixel & 0xffU)};
}

// The in-phase blue at full strength, not faded towards white.
bool inphase_blue(Pixel p) { return p.blue - p.red > 80 && p.green < 160; }

TEST(PictureKindTest, FromTheEndingInAnyCase) {
  const std::pair<std::string_view, std::optional<PictureKind>> cases[] = {
      {"out.png", PictureKind::png}, {"OUT.PNG", PictureKind::png},  {"a/b.Svg", PictureKind::svg},
      {"x.pdf", PictureKind::pdf},   {".pdf", PictureKind::pdf},     {"out.jpeg", std::nullopt},
      {"png", std::nullopt},         {"out.png.txt", std::nullopt}, {"", std::nullopt},
  };
  for (const auto& [name, kind] : cases) EXPECT_EQ(picture_kind(name), kind) << name;
}

TEST(PicturePanels, InphaseSharesWithTheQuadratureOfItsTransmitterAndTheHeightComesLast) {
  const ChannelInfo second_transmitter{900, 'z', 2, Component::quadrature, "900Hz_z_quadrature_tx2"};
  const ChannelInfo coaxial{100000, 'x', 1, Component::quadrature, "100000Hz_x_quadrature"};
  using Panels = std::vector<std::pair<std::vector<std::size_t>, std::string>>;
  const std::pair<std::vector<ChannelInfo>, Panels> cases[] = {
      {{kInphase900, kQuadrature900}, {{{0, 1}, "900 Hz, z transmitter"}, {{}, "Height (m)"}}},
      {{kInphase900}, {{{0}, "900 Hz, z transmitter"}, {{}, "Height (m)"}}},
      {{kQuadrature900, kInphase900}, {{{0}, "900 Hz, z transmitter"}, {{1}, "900 Hz, z transmitter"}, {{}, "Height (m)"}}},
      {{kInphase900, second_transmitter},
       {{{0}, "900 Hz, z transmitter 1"}, {{1}, "900 Hz, z transmitter 2"}, {{}, "Height (m)"}}},
      {{coaxial}, {{{0}, "100 kHz, x transmitter"}, {{}, "Height (m)"}}},
  };
  for (const auto& [channels, expected] : cases) {
    Panels found;
    for (const PanelContent& panel : panel_contents(LineSurvey(1, channels, kWave))) {
      found.emplace_back(panel.columns, panel.title);
    }
    EXPECT_EQ(found, expected) << channels[0].name;
  }
}

TEST(PictureWords, FrequenciesInPlainWords) {
  const std::pair<double, std::string> cases[] = {
      {900, "900 Hz"},     {380, "380 Hz"},       {7200, "7200 Hz"},      {912.5f, "912.5 Hz"},
      {56000, "56 kHz"},   {100000, "100 kHz"},   {25000, "25 kHz"},      {12500, "12.5 kHz"},
      {1.5e6, "1.5 MHz"},  {0.5, "0.5 Hz"},
  };
  for (const auto& [hertz, text] : cases) EXPECT_EQ(frequency_text(hertz), text) << hertz;
}

TEST(PictureTicks, RoundStepsAndReadableTexts) {
  const std::tuple<double, double, int, std::vector<std::string>> cases[] = {
      {0, 10, 5, {"0", "2", "4", "6", "8", "10"}},
      {6781500, 6782500, 4, {"6781500", "6782000", "6782500"}},
      {-0.3, 0.3, 3, {"-0.2", "0.0", "0.2"}},
      {0.5, 9.5, 2, {"5"}},
      {1.1e-9, 1.9e-9, 4, {"1.2e-09", "1.4e-09", "1.6e-09", "1.8e-09"}},
      {1, 1, 5, {}},
  };
  for (const auto& [low, high, steps, texts] : cases) {
    std::vector<std::string> found;
    for (const Tick& tick : round_ticks(low, high, steps)) found.push_back(tick.text);
    EXPECT_EQ(found, texts) << low << " to " << high;
  }
}

// Along x, or up y when `upright`, each of the `panels` columns with a panel alone.
class ShapedSurvey : public LineSurvey {
 public:
  ShapedSurvey(std::size_t panels, bool upright)
      : LineSurvey(200, std::vector<ChannelInfo>(panels, kInphase900), kWave), upright_(upright) {}
  double x(std::int64_t i) const override { return upright_ ? 0 : static_cast<double>(i); }
  double y(std::int64_t i) const override { return upright_ ? static_cast<double>(i) : 0; }

 private:
  bool upright_;
};

TEST(PictureLayoutTest, OneToTenPanelsAndTheHeightFitTheImageApartAndReadable) {
  for (const bool one_line : {false, true}) {
    PictureRequest request;
    if (one_line) request.line = 1;
    for (const bool upright : {false, true}) {
      for (std::size_t panels = 1; panels <= 10; ++panels) {
        const PictureLayout layout = survey_layout(ShapedSurvey(panels, upright), request);
        const std::vector<PlotArea>& areas = layout.panels;
        ASSERT_EQ(areas.size(), panels + 1);
        for (std::size_t i = 0; i < areas.size(); ++i) {
          const PlotArea& a = areas[i];
          EXPECT_TRUE(a.left >= 0 && a.top >= 0 && a.right() <= kWidth && a.bottom() <= kHeight);
          EXPECT_GE(a.width, 300) << panels << " panels";
          EXPECT_GE(a.height, 100) << panels << " panels";
          for (const PlotArea& b : std::vector<PlotArea>(areas.begin(), areas.begin() + static_cast<std::ptrdiff_t>(i)) ) {
            const bool apart = a.left >= b.right() || b.left >= a.right() || a.top >= b.bottom() || b.top >= a.bottom();
            EXPECT_TRUE(apart) << panels << " panels, panel " << i;
          }
          const PlotArea& m = layout.map;
          EXPECT_TRUE(a.left >= m.right() || m.left >= a.right() || a.top >= m.bottom() || m.top >= a.bottom());
        }
      }
    }
  }
}

TEST(PicturePicture, EachKindIsWrittenWhole) {
  ScratchDir dir;
  const LineSurvey survey(500, {kInphase900, kQuadrature900}, kWave);
  for (const char* name : {"out.png", "out.svg", "out.pdf"}) {
    ASSERT_EQ(write_picture_file(dir.file(name), *picture_kind(name), survey), std::nullopt) << name;
  }
  EXPECT_EQ(dir.read("out.svg").rfind("<?xml", 0), 0u);
  EXPECT_NE(dir.read("out.svg").find("<svg"), std::string::npos);
  EXPECT_EQ(dir.read("out.pdf").rfind("%PDF-", 0), 0u);
  cairo_surface_t* png = read_png(dir.file("out.png"));
  EXPECT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
  EXPECT_EQ(cairo_image_surface_get_width(png), kWidth);
  EXPECT_EQ(cairo_image_surface_get_height(png), kHeight);
  cairo_surface_destroy(png);
}

TEST(PicturePicture, OddSurveysStillDraw) {
  constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
  constexpr float kInfinity = std::numeric_limits<float>::infinity();
  const std::vector<ChannelInfo> pair = {kInphase900, kQuadrature900};
  const std::vector<ChannelInfo> ten(10, ChannelInfo{7200, 'y', 1, Component::quadrature, "7200Hz_y_quadrature"});
  const LineSurvey cases[] = {
      {1, pair, kWave},
      {300, pair, kWave, 0},
      {3000, pair, kWave, 0},
      {300, pair, [](std::size_t, std::int64_t) { return 0.0f; }},
      {3000, pair, [](std::size_t, std::int64_t) { return kNan; }},
      {300, pair, [](std::size_t, std::int64_t i) { return i % 7 == 0 ? kInfinity : 1e-12f; }},
      {300, ten, kWave, 1e-3},
  };
  ScratchDir dir;
  for (const LineSurvey& survey : cases) {
    for (const bool one_line : {false, true}) {
      PictureRequest request;
      if (one_line) request.line = 1;
      EXPECT_EQ(write_picture_file(dir.file("odd.png"), PictureKind::png, survey, request), std::nullopt);
    }
  }
}

// Among a hundred thousand soundings, one spike fifty times the signal: the
// axis keeps to the signal, and the strip above the frame is marked in the
// spike's pixel column alone.
TEST(PicturePicture, OneSpikeAmongManySoundingsShows) {
  constexpr std::int64_t kCount = 100000;
  constexpr std::int64_t kSpike = 54321;
  const LineSurvey survey(kCount, {kInphase900}, [](std::size_t, std::int64_t i) {
    return i == kSpike ? 50.0f : static_cast<float>(std::sin(0.001 * static_cast<double>(i)));
  });
  ScratchDir dir;
  ASSERT_EQ(write_picture_file(dir.file("spike.png"), PictureKind::png, survey), std::nullopt);

  cairo_surface_t* png = read_png(dir.file("spike.png"));
  ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
  const PlotArea area = survey_layout(survey, {}).panels.at(0);
  const int expected = area.left + static_cast<int>(kSpike * area.width / (kCount - 1));
  std::vector<int> marked;
  for (int column = area.left; column < area.right(); ++column) {
    for (int row = area.top - 6; row < area.top; ++row) {
      if (inphase_blue(pixel_at(png, column, row))) {
        marked.push_back(column);
        break;
      }
    }
  }
  // The wave itself fills the frame from top to bottom.
  int wave_rows = 0;
  for (int row = area.top + 1; row < area.bottom() - 1; ++row) {
    for (int column = area.left + 1; column < area.right() - 1; ++column) {
      if (inphase_blue(pixel_at(png, column, row))) {
        ++wave_rows;
        break;
      }
    }
  }
  cairo_surface_destroy(png);
  EXPECT_GT(wave_rows, area.height * 8 / 10);
  ASSERT_FALSE(marked.empty());
  for (const int column : marked) EXPECT_NEAR(column, expected, 1);
}

// Parallel lines along x, each a line of its own, with values that rise
// evenly from west to east, and a few spikes far beyond them.
class RampSurvey : public LineSurvey {
 public:
  static constexpr std::int64_t kPerLine = 1000;
  static constexpr int kLines = 20;
  RampSurvey()
      : LineSurvey(kPerLine * kLines, {kInphase900},
                   [](std::size_t, std::int64_t i) {
                     return i % 997 == 0 ? 1e6f : static_cast<float>(i % kPerLine);
                   }) {}
  double x(std::int64_t i) const override { return static_cast<double>(i % kPerLine) * 4; }
  double y(std::int64_t i) const override { return static_cast<double>(i / kPerLine) * 100; }
  std::int32_t line(std::int64_t i) const override { return static_cast<std::int32_t>(i / kPerLine) + 1; }
};

// The map's colours run over the 2nd to the 98th percentile of the values,
// whatever the spikes: viridis's middle in the middle, its ends beyond.
TEST(PictureMap, ColourRangeIgnoresSpikes) {
  const RampSurvey survey;
  ScratchDir dir;
  ASSERT_EQ(write_picture_file(dir.file("ramp.png"), PictureKind::png, survey), std::nullopt);
  cairo_surface_t* png = read_png(dir.file("ramp.png"));
  ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
  const PictureLayout layout = survey_layout(survey, {});
  const auto column_of = [&](double x) {
    return layout.map.left + static_cast<int>((x - layout.map_metres.x_low) /
                                              (layout.map_metres.x_high - layout.map_metres.x_low) * layout.map.width);
  };
  const int row = layout.map.top + static_cast<int>((layout.map_metres.y_high - 1000) /
                                                    (layout.map_metres.y_high - layout.map_metres.y_low) *
                                                    layout.map.height);
  // Values 0 to 999 evenly: the percentiles lie near 20 and 979, their
  // middle at 499.5; viridis from matplotlib at 0, 0.5 and 1.
  const std::tuple<double, Pixel> cases[] = {
      {499.5 * 4, {0x21, 0x91, 0x8c}},
      {5 * 4, {0x44, 0x01, 0x54}},
      {995 * 4, {0xfd, 0xe7, 0x25}},
  };
  for (const auto& [x, colour] : cases) {
    const Pixel found = pixel_at(png, column_of(x), row);
    EXPECT_NEAR(found.red, colour.red, 6) << x;
    EXPECT_NEAR(found.green, colour.green, 6) << x;
    EXPECT_NEAR(found.blue, colour.blue, 6) << x;
  }
  cairo_surface_destroy(png);
}

// Two flight lines, the first at 0 and the second at 10, with or without a
// turn at 5 between them: no full-strength profile crosses from one to the
// other, and a turn's profile is faded.
class TwoLines : public LineSurvey {
 public:
  explicit TwoLines(bool turn)
      : LineSurvey(turn ? 700 : 600, {kInphase900},
                   [turn](std::size_t, std::int64_t i) {
                     if (i < 300) return 0.0f;
                     if (turn && i < 400) return 5.0f;
                     return 10.0f;
                   }),
        turn_(turn) {}
  std::int32_t line(std::int64_t i) const override {
    if (i < 300) return 1;
    if (turn_ && i < 400) return 0;
    return 2;
  }

 private:
  bool turn_;
};

TEST(PictureProfiles, NoProfileAcrossAChangeOfLine) {
  for (const bool turn : {false, true}) {
    const TwoLines survey(turn);
    ScratchDir dir;
    ASSERT_EQ(write_picture_file(dir.file("two.png"), PictureKind::png, survey), std::nullopt);
    cairo_surface_t* png = read_png(dir.file("two.png"));
    ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
    const PlotArea area = survey_layout(survey, {}).panels.at(0);
    std::vector<std::int32_t> lines;
    for (std::int64_t i = 0; i < survey.soundings(); ++i) lines.push_back(survey.line(i));
    const ProfileTrack track = profile_track(survey, lines, std::nullopt, area.width);
    ASSERT_EQ(track.segments.size(), turn ? 3u : 2u);
    const int last_of_first = area.left + static_cast<int>(std::ceil(track.segments.front().right)) - 1;
    const int first_of_last = area.left + static_cast<int>(std::floor(track.segments.back().left));
    ASSERT_LT(last_of_first + 1, first_of_last) << turn;
    // Between the two lines' pixel columns, inside the frame (whose
    // outline is black), nothing of full strength.
    int full = 0;
    int faded = 0;
    for (int column = last_of_first + 1; column < first_of_last; ++column) {
      for (int row = area.top + 1; row < area.bottom() - 1; ++row) {
        const Pixel p = pixel_at(png, column, row);
        full += inphase_blue(p);
        faded += !inphase_blue(p) && p.blue - p.red > 40;
      }
    }
    // Each line draws at its own level, the whole way.
    const Pixel first_line = pixel_at(png, last_of_first, area.top + area.height / 2);
    cairo_surface_destroy(png);
    EXPECT_EQ(full, 0) << turn;
    EXPECT_EQ(faded > 0, turn);
    EXPECT_FALSE(inphase_blue(first_line)) << "the first line's profile reaches halfway up";
  }
}

TEST(PicturePicture, RefusedWritesGiveTheReason) {
  const LineSurvey survey(10, {kInphase900, kQuadrature900}, kWave);
  for (const PictureKind kind : {PictureKind::png, PictureKind::svg, PictureKind::pdf}) {
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    EXPECT_EQ(write_picture(full, kind, survey, {}), "No space left on device");
    ::close(full);
  }
}

std::string file_bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// What lies at `name` in `dir`, in a few words: "PNG 1600x1200", "SVG",
// "PDF", "a directory", "nothing", or "unknown bytes".
std::string picture_found(const ScratchDir& dir, const std::string& name) {
  if (std::filesystem::is_directory(dir.file(name))) return "a directory";
  if (!dir.exists(name)) return "nothing";
  const std::string bytes = dir.read(name);
  if (bytes.starts_with("\x89PNG\r\n\x1a\n")) {
    cairo_surface_t* png = read_png(dir.file(name));
    std::string found = "unreadable PNG";
    if (cairo_surface_status(png) == CAIRO_STATUS_SUCCESS) {
      found = "PNG " + std::to_string(cairo_image_surface_get_width(png)) + "x" +
              std::to_string(cairo_image_surface_get_height(png));
    }
    cairo_surface_destroy(png);
    return found;
  }
  if (bytes.starts_with("<?xml") && bytes.find("<svg") != std::string::npos) return "SVG";
  if (bytes.starts_with("%PDF-")) return "PDF";
  return "unknown bytes";
}

// Two straight flight lines of 60 soundings, 5 m apart along x, the second
// 200 m north of the first and flown back, the way between them not
// recorded; one frequency, its in-phase and quadrature.
std::string two_line_survey() {
  std::string text = "120\n";
  char line[160];
  for (int i = 0; i < 120; ++i) {
    const bool back = i >= 60;
    const double x = back ? 500000 + 5.0 * (119 - i) : 500000 + 5.0 * i;
    std::snprintf(line, sizeof line, "%.1f %.1f 1\n900.0 1\n1.0 -30.0 z 1\n1.0 7.98 0.0 -30.0 z 1 b %d.5 %d.25\n", x,
                  back ? 6000200.0 : 6000000.0, i, 2 * i);
    text += line;
  }
  return text;
}

struct PlotRun {
  const char* label;
  const char* survey;  // "multi": examples/survey_multi.prd; "lines": two_line_survey()
  std::string arguments;
  std::string out;   // standard output
  std::string err;   // standard error
  int exit_status;
  bool rows_written;    // vask.out is there; for "multi" with the example's bytes
  std::string plot;     // the picture's name ("dir.png" is made a directory first)
  std::string picture;  // what picture_found finds there afterwards
};

TEST(PlotOption, PictureBesideAnUnchangedConversion) {
  const std::filesystem::path examples = std::filesystem::path(KORVAN_SOURCE_DIR) / "examples";
  const std::string multi = file_bytes(examples / "survey_multi.prd");
  const std::string rows = file_bytes(examples / "survey_multi.vask.out");
  const std::string read = "Converting from KORVAN predicted data format.\n 5 soundings read from \"survey.prd\".\n";
  const std::string read_lines =
      "Converting from KORVAN predicted data format.\n 120 soundings read from \"survey.prd\".\n";
  const std::string writing = " Writing converted data to file \"vask.out\".\n";
  const std::string usage = cli::usage_reminder();
  const std::string columns =
      "korvan2col: --channel: the columns are height, 900Hz_z_inphase, 900Hz_z_quadrature, 900Hz_x_inphase, "
      "900Hz_x_quadrature, 7200Hz_z_inphase, 7200Hz_y_quadrature, 56000Hz_z_quadrature\n";
  const PlotRun cases[] = {
      {"PNG", "multi", "--plot x.png", read + writing + "Done.\n", "", 0, true, "x.png", "PNG 1600x1200"},
      {"SVG", "multi", "--plot x.svg", read + writing + "Done.\n", "", 0, true, "x.svg", "SVG"},
      {"PDF", "multi", "--plot x.pdf", read + writing + "Done.\n", "", 0, true, "x.pdf", "PDF"},
      {"a channel", "multi", "--plot x.png --channel 7200Hz_y_quadrature", read + writing + "Done.\n", "", 0, true,
       "x.png", "PNG 1600x1200"},
      {"the height", "multi", "--channel height --plot x.png", read + writing + "Done.\n", "", 0, true, "x.png",
       "PNG 1600x1200"},
      {"a line", "lines", "--plot x.png --line 2", read_lines + writing + "Done.\n", "", 0, true, "x.png",
       "PNG 1600x1200"},
      {"a directory in the way, found before reading", "multi", "--plot dir.png",
       "Converting from KORVAN predicted data format.\nStop: error opening picture \"dir.png\" for output.\n",
       "korvan2col: dir.png: Is a directory\n", 1, false, "dir.png", "a directory"},
      {"no such channel", "multi", "--plot x.png --channel 900Hz_y_inphase",
       read + "Stop: no column \"900Hz_y_inphase\" to colour the map by.\n", columns, 1, false, "x.png", "nothing"},
      {"no such line", "lines", "--plot x.png --line 3", read_lines + "Stop: no flight line 3 to draw.\n",
       "korvan2col: --line: the survey has flight lines 1 to 2\n", 1, false, "x.png", "nothing"},
      {"no lines at all", "multi", "--plot x.png --line 1", read + "Stop: no flight line 1 to draw.\n",
       "korvan2col: --line: no flight lines were found in the track\n", 1, false, "x.png", "nothing"},
      {"unknown ending", "multi", "--plot x.gif", "",
       "korvan2col: --plot: 'x.gif' does not end in .png, .svg or .pdf\n" + usage, 2, false, "x.gif", "nothing"},
      {"a channel without a picture", "multi", "--channel height", "", "korvan2col: --channel needs --plot\n" + usage, 2,
       false, "x.png", "nothing"},
      {"a line without a picture", "multi", "--line 2", "", "korvan2col: --line needs --plot\n" + usage, 2, false,
       "x.png", "nothing"},
      {"line 0", "multi", "--plot x.png --line 0", "",
       "korvan2col: --line: '0' is not a flight line number (1, 2, ...)\n" + usage, 2, false, "x.png", "nothing"},
  };
  for (const PlotRun& c : cases) {
    ScratchDir dir;
    dir.write("survey.prd", std::string_view(c.survey) == "multi" ? multi : two_line_survey());
    if (c.plot == "dir.png") std::filesystem::create_directory(dir.file(c.plot));
    const RunResult r = run_converter(dir.path(), "", c.arguments + " survey.prd");
    EXPECT_EQ(r.out, c.out) << c.label;
    EXPECT_EQ(r.err, c.err) << c.label;
    EXPECT_EQ(r.exit_status, c.exit_status) << c.label;
    EXPECT_EQ(dir.exists("vask.out"), c.rows_written) << c.label;
    if (c.rows_written && std::string_view(c.survey) == "multi") {
      EXPECT_EQ(dir.read("vask.out").substr(dir.read("vask.out").find('\n')), rows.substr(rows.find('\n')))
          << c.label;
    }
    EXPECT_EQ(picture_found(dir, c.plot), c.picture) << c.label;
  }
}

}  // namespace
}  // namespace korvan::picture

#endif
