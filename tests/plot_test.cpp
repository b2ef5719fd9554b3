// The survey picture: the kind a file name asks for, how columns share
// panels, round ticks, each kind written whole, a lone spike among many
// soundings reaching the picture, the reason for a file that refuses the
// picture, and --plot as the user sees it beside an unchanged conversion.
// Built only with cairo.
#if KORVAN_HAVE_CAIRO

#include <cairo.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "driver/command_line.h"
#include "driver/plot.h"
#include "tests/test_support.h"

namespace korvan::driver {
namespace {

using korvan::testing::RunResult;
using korvan::testing::run_converter;
using korvan::testing::ScratchDir;
using Values = std::function<float(std::size_t column, std::int64_t i)>;

// Soundings along x, `spacing` metres apart.
class LineSurvey : public SurveyView {
 public:
  LineSurvey(std::int64_t count, std::vector<std::string> labels, Values values, double spacing = 1)
      : count_(count), labels_(std::move(labels)), values_(std::move(values)), spacing_(spacing) {}
  std::int64_t soundings() const override { return count_; }
  double x(std::int64_t i) const override { return 6781500 + spacing_ * static_cast<double>(i); }
  double y(std::int64_t) const override { return 512000; }
  std::size_t columns() const override { return labels_.size(); }
  std::string label(std::size_t column) const override { return labels_[column]; }
  float value(std::size_t column, std::int64_t i) const override { return values_(column, i); }

 private:
  std::int64_t count_;
  std::vector<std::string> labels_;
  Values values_;
  double spacing_;
};

const std::vector<std::string> kPair = {"900.000Hz, z orientation, inphase", "900.000Hz, z orientation, quadrature"};
const Values kWave = [](std::size_t column, std::int64_t i) {
  return static_cast<float>(std::sin(0.01 * static_cast<double>(i)) + static_cast<double>(column));
};

TEST(PictureKind, FromTheEndingInAnyCase) {
  const std::pair<std::string_view, std::optional<PictureKind>> cases[] = {
      {"out.png", PictureKind::png}, {"OUT.PNG", PictureKind::png},  {"a/b.Svg", PictureKind::svg},
      {"x.pdf", PictureKind::pdf},   {".pdf", PictureKind::pdf},     {"out.jpeg", std::nullopt},
      {"png", std::nullopt},         {"out.png.txt", std::nullopt}, {"", std::nullopt},
  };
  for (const auto& [name, kind] : cases) EXPECT_EQ(picture_kind(name), kind) << name;
}

TEST(PlotPanels, InphaseSharesWithTheQuadratureRightAfterIt) {
  using Panels = std::vector<std::vector<std::size_t>>;
  const std::pair<std::vector<std::string>, Panels> cases[] = {
      {kPair, {{0, 1}}},
      {{"900.000Hz, z orientation, inphase"}, {{0}}},
      {{kPair[1], kPair[0]}, {{0}, {1}}},
      {{"900.000Hz, z orientation, inphase", "7200.00Hz, z orientation, quadrature"}, {{0}, {1}}},
      {{kPair[0], kPair[0], kPair[1]}, {{0}, {1, 2}}},
      {{kPair[0], kPair[1], kPair[0], kPair[1], "7200.00Hz, y orientation, quadrature"}, {{0, 1}, {2, 3}, {4}}},
  };
  for (const auto& [labels, panels] : cases) {
    EXPECT_EQ(panel_columns(LineSurvey(1, labels, kWave)), panels) << labels[0];
  }
}

TEST(PlotTicks, RoundStepsAndReadableTexts) {
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
      : LineSurvey(200, std::vector<std::string>(panels, kPair[0]), kWave), upright_(upright) {}
  double x(std::int64_t i) const override { return upright_ ? 0 : static_cast<double>(i); }
  double y(std::int64_t i) const override { return upright_ ? static_cast<double>(i) : 0; }

 private:
  bool upright_;
};

TEST(PlotLayout, OneToTenPanelsFitTheImageApartAndReadable) {
  for (const bool upright : {false, true}) {
    for (std::size_t panels = 1; panels <= 10; ++panels) {
      const std::vector<PlotArea> areas = panel_plot_areas(ShapedSurvey(panels, upright));
      ASSERT_EQ(areas.size(), panels);
      for (std::size_t i = 0; i < panels; ++i) {
        const PlotArea& a = areas[i];
        EXPECT_TRUE(a.left >= 0 && a.top >= 0 && a.left + a.width <= 1600 && a.top + a.height <= 1200);
        EXPECT_GE(a.width, 300) << panels << " panels";
        EXPECT_GE(a.height, 100) << panels << " panels";
        for (std::size_t j = 0; j < i; ++j) {
          const PlotArea& b = areas[j];
          const bool apart = a.left >= b.left + b.width || b.left >= a.left + a.width || a.top >= b.top + b.height ||
                             b.top >= a.top + a.height;
          EXPECT_TRUE(apart) << panels << " panels: " << i << " and " << j;
        }
      }
    }
  }
}

// The picture written into a new file at `path`.
std::optional<std::string> write_picture_file(const std::filesystem::path& path, PictureKind kind,
                                              const SurveyView& survey) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return "cannot open " + path.string();
  std::optional<std::string> failure = write_picture(fd, kind, survey);
  ::close(fd);
  return failure;
}

TEST(PlotPicture, EachKindIsWrittenWhole) {
  ScratchDir dir;
  const LineSurvey survey(500, kPair, kWave);
  for (const char* name : {"out.png", "out.svg", "out.pdf"}) {
    ASSERT_EQ(write_picture_file(dir.file(name), *picture_kind(name), survey), std::nullopt) << name;
  }
  EXPECT_EQ(dir.read("out.svg").rfind("<?xml", 0), 0u);
  EXPECT_NE(dir.read("out.svg").find("<svg"), std::string::npos);
  EXPECT_EQ(dir.read("out.pdf").rfind("%PDF-", 0), 0u);
  cairo_surface_t* png = cairo_image_surface_create_from_png(dir.file("out.png").c_str());
  EXPECT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
  EXPECT_EQ(cairo_image_surface_get_width(png), 1600);
  EXPECT_EQ(cairo_image_surface_get_height(png), 1200);
  cairo_surface_destroy(png);
}

TEST(PlotPicture, OddSurveysStillDraw) {
  constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
  constexpr float kInfinity = std::numeric_limits<float>::infinity();
  const std::vector<std::string> ten(10, "7200.00Hz, y orientation, quadrature");
  const LineSurvey cases[] = {
      {1, kPair, kWave},
      {300, kPair, kWave, 0},
      {300, kPair, [](std::size_t, std::int64_t) { return 0.0f; }},
      {300, kPair, [](std::size_t, std::int64_t) { return kNan; }},
      {300, kPair, [](std::size_t, std::int64_t i) { return i % 7 == 0 ? kInfinity : 1e-12f; }},
      {300, ten, kWave, 1e-3},
  };
  ScratchDir dir;
  for (const LineSurvey& survey : cases) {
    EXPECT_EQ(write_picture_file(dir.file("odd.png"), PictureKind::png, survey), std::nullopt);
  }
}

TEST(PlotPicture, OneSpikeAmongManySoundingsShows) {
  constexpr std::int64_t kCount = 100000;
  constexpr std::int64_t kSpike = 54321;
  const LineSurvey survey(kCount, {kPair[0]}, [](std::size_t, std::int64_t i) {
    return i == kSpike ? 50.0f : static_cast<float>(std::sin(0.001 * static_cast<double>(i)));
  });
  ScratchDir dir;
  ASSERT_EQ(write_picture_file(dir.file("spike.png"), PictureKind::png, survey), std::nullopt);

  cairo_surface_t* png = cairo_image_surface_create_from_png(dir.file("spike.png").c_str());
  ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
  const unsigned char* data = cairo_image_surface_get_data(png);
  const int stride = cairo_image_surface_get_stride(png);
  const PlotArea area = panel_plot_areas(survey).at(0);
  const int expected = area.left + static_cast<int>(kSpike * area.width / (kCount - 1));
  // The waves lie at the bottom; only the spike reaches the top quarter.
  std::vector<int> blue_columns;
  for (int row = area.top + 1; row < area.top + area.height / 4; ++row) {
    for (int column = area.left + 1; column < area.left + area.width - 1; ++column) {
      const std::ptrdiff_t offset = std::ptrdiff_t{row} * stride + std::ptrdiff_t{column} * 4;
      const std::uint32_t pixel = *reinterpret_cast<const std::uint32_t*>(data + offset);
      const auto red = static_cast<int>((pixel >> 16) & 0xffU);
      const auto blue = static_cast<int>(pixel & 0xffU);
      if (blue - red > 80) blue_columns.push_back(column);
    }
  }
  cairo_surface_destroy(png);
  ASSERT_FALSE(blue_columns.empty());
  for (const int column : blue_columns) EXPECT_NEAR(column, expected, 1);
}

TEST(PlotPicture, RefusedWritesGiveTheReason) {
  const LineSurvey survey(10, kPair, kWave);
  for (const PictureKind kind : {PictureKind::png, PictureKind::svg, PictureKind::pdf}) {
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    EXPECT_EQ(write_picture(full, kind, survey), "No space left on device");
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
    cairo_surface_t* png = cairo_image_surface_create_from_png(dir.file(name).c_str());
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

struct PlotRun {
  const char* label;
  std::string plot;  // the --plot name; "dir.png" is made a directory first
  std::string out;   // standard output
  std::string err;   // standard error
  int exit_status;
  bool rows_written;    // vask.out holds the example's bytes; else there is none
  std::string picture;  // what picture_found finds at `plot` afterwards
};

TEST(PlotOption, PictureBesideAnUnchangedConversion) {
  const std::filesystem::path examples = std::filesystem::path(KORVAN_SOURCE_DIR) / "examples";
  const std::string survey = file_bytes(examples / "survey_multi.prd");
  const std::string rows = file_bytes(examples / "survey_multi.vask.out");
  const std::string writing =
      "Converting from KORVAN predicted data format.\n 5 soundings read from \"survey_multi.prd\".\n"
      " Writing converted data to file \"vask.out\".\n";
  const PlotRun cases[] = {
      {"PNG", "x.png", writing + "Done.\n", "", 0, true, "PNG 1600x1200"},
      {"SVG", "x.svg", writing + "Done.\n", "", 0, true, "SVG"},
      {"PDF", "x.pdf", writing + "Done.\n", "", 0, true, "PDF"},
      {"a directory in the way, found before reading", "dir.png",
       "Converting from KORVAN predicted data format.\nStop: error opening picture \"dir.png\" for output.\n",
       "korvan2col: dir.png: Is a directory\n", 1, false, "a directory"},
      {"unknown ending", "x.gif", "",
       "korvan2col: --plot: 'x.gif' does not end in .png, .svg or .pdf\n" + usage_reminder(), 2, false, "nothing"},
  };
  for (const PlotRun& c : cases) {
    ScratchDir dir;
    dir.write("survey_multi.prd", survey);
    if (c.plot == "dir.png") std::filesystem::create_directory(dir.file(c.plot));
    const RunResult r = run_converter(dir.path(), "", "--plot " + c.plot + " survey_multi.prd");
    EXPECT_EQ(r.out, c.out) << c.label;
    EXPECT_EQ(r.err, c.err) << c.label;
    EXPECT_EQ(r.exit_status, c.exit_status) << c.label;
    EXPECT_EQ(dir.exists("vask.out"), c.rows_written) << c.label;
    if (c.rows_written) {
      EXPECT_EQ(dir.read("vask.out"), rows) << c.label;
    }
    EXPECT_EQ(picture_found(dir, c.plot), c.picture) << c.label;
  }
}

}  // namespace
}  // namespace korvan::driver

#endif
