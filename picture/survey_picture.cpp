// The sounding arrays as the picture sees a survey, and the checks of what
// the picture is asked to show.
#include "picture/survey_picture.h"

#include <algorithm>

#include "console/stop.h"

#if KORVAN_HAVE_CAIRO
#include "picture/picture.h"
#endif

namespace korvan::picture {
namespace {

#if KORVAN_HAVE_CAIRO
class ArraysView : public SurveyView {
 public:
  ArraysView(const reader::SoundingArrays& a, const table::ColumnPlan& plan, const std::vector<std::string>& names,
             const std::vector<std::int32_t>& lines)
      : a_(a), plan_(plan), names_(names), lines_(lines) {}

  std::int64_t soundings() const override { return a_.dims.nsound; }
  double x(std::int64_t i) const override {
    return a_.soundx_exact.empty() ? a_.soundx(i + 1) : a_.soundx_exact[static_cast<std::size_t>(i)];
  }
  double y(std::int64_t i) const override {
    return a_.soundy_exact.empty() ? a_.soundy(i + 1) : a_.soundy_exact[static_cast<std::size_t>(i)];
  }
  double height(std::int64_t i) const override { return -a_.zt(1, 1, i + 1); }
  std::int32_t line(std::int64_t i) const override { return lines_[static_cast<std::size_t>(i)]; }
  std::size_t columns() const override { return plan_.size(); }
  ChannelInfo channel(std::size_t column) const override {
    const table::DataColumn& c = plan_[column];
    return {c.frequency, c.orientation, c.it,
            c.inphase ? Component::inphase : Component::quadrature, names_[column]};
  }
  float value(std::size_t column, std::int64_t i) const override {
    const table::DataColumn& c = plan_[column];
    const reader::Datum& datum = a_.prd(1, c.it, c.ifreq, i + 1);
    return c.inphase ? datum.inphase : datum.quadrature;
  }
  // One step of a sounding through the arrays, without working out each index.
  void values(std::optional<std::size_t> column, std::int64_t first, std::span<float> out) const override {
    if (out.empty()) return;
    if (!column) {
      const float* z = &a_.zt(1, 1, first + 1);
      const std::int64_t step = a_.zt.slice();
      for (std::size_t k = 0; k < out.size(); ++k) out[k] = -z[static_cast<std::int64_t>(k) * step];
      return;
    }
    const table::DataColumn& c = plan_[*column];
    const reader::Datum* datum = &a_.prd(1, c.it, c.ifreq, first + 1);
    const std::int64_t step = a_.prd.slice();
    for (std::size_t k = 0; k < out.size(); ++k) {
      const reader::Datum& d = datum[static_cast<std::int64_t>(k) * step];
      out[k] = c.inphase ? d.inphase : d.quadrature;
    }
  }

 private:
  const reader::SoundingArrays& a_;
  const table::ColumnPlan& plan_;
  const std::vector<std::string>& names_;
  const std::vector<std::int32_t>& lines_;
};
#endif

std::string lines_found(std::int32_t count) {
  if (count == 0) return "no flight lines were found in the track";
  if (count == 1) return "the survey has one flight line, 1";
  return "the survey has flight lines 1 to " + std::to_string(count);
}

}  // namespace

SurveyPicture::SurveyPicture(const reader::SoundingArrays& arrays, const table::ColumnPlan& plan,
                             std::string survey_name, PictureOrder order, const table::LineRule& rule)
    : arrays_(arrays), plan_(plan), path_(std::move(order.path)) {
  // The data columns' names are the CSV header's last ones.
  const std::vector<std::string> all_names = table::csv_column_names(plan);
  names_.assign(all_names.end() - static_cast<std::ptrdiff_t>(plan.size()), all_names.end());
  request_.survey_name = std::move(survey_name);
  if (order.channel) {
    const auto named = std::find(names_.begin(), names_.end(), *order.channel);
    if (*order.channel == "height") {
      request_.map_colour = PictureRequest::MapColour::height;
    } else if (named != names_.end()) {
      request_.map_column = static_cast<std::size_t>(named - names_.begin());
    } else {
      std::string known = "height";
      for (const std::string& name : names_) known += ", " + name;
      console::stop("no column \"" + *order.channel + "\" to colour the map by",
                    {"--channel: the columns are " + known});
    }
  }
  lines_ = table::survey_flight_lines(arrays, rule);
  if (order.line) {
    const std::int32_t count = lines_.empty() ? 0 : std::max(0, *std::max_element(lines_.begin(), lines_.end()));
    if (*order.line > count) {
      console::stop("no flight line " + std::to_string(*order.line) + " to draw", {"--line: " + lines_found(count)});
    }
    request_.line = order.line;
  }
}

#if KORVAN_HAVE_CAIRO
std::optional<std::string> SurveyPicture::draw(int fd) const {
  const std::optional<PictureKind> kind = picture_kind(path_);
  if (!kind) return "the name ends in neither .png, .svg nor .pdf";
  return write_picture(fd, *kind, ArraysView(arrays_, plan_, names_, lines_), request_);
}
#else
std::optional<std::string> SurveyPicture::draw(int) const {
  return "this korvan2col was built without cairo, which draws the pictures";
}
#endif

}  // namespace korvan::picture
