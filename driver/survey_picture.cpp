// The sounding arrays as the picture module sees a survey.
#include "driver/survey_picture.h"

#include "driver/column_header.h"

#if KORVAN_HAVE_CAIRO
#include "driver/plot.h"
#endif

namespace korvan::driver {

#if KORVAN_HAVE_CAIRO
namespace {

class ArraysView : public SurveyView {
 public:
  ArraysView(const reader::SoundingArrays& a, const ColumnPlan& plan) : a_(a), plan_(plan) {}

  std::int64_t soundings() const override { return a_.dims.nsound; }
  double x(std::int64_t i) const override {
    return a_.soundx_exact.empty() ? a_.soundx(i + 1) : a_.soundx_exact[static_cast<std::size_t>(i)];
  }
  double y(std::int64_t i) const override {
    return a_.soundy_exact.empty() ? a_.soundy(i + 1) : a_.soundy_exact[static_cast<std::size_t>(i)];
  }
  std::size_t columns() const override { return plan_.size(); }
  std::string label(std::size_t column) const override { return column_label(plan_[column]); }
  float value(std::size_t column, std::int64_t i) const override {
    const DataColumn& c = plan_[column];
    const reader::Datum& datum = a_.prd(1, c.it, c.ifreq, i + 1);
    return c.inphase ? datum.inphase : datum.quadrature;
  }

 private:
  const reader::SoundingArrays& a_;
  const ColumnPlan& plan_;
};

}  // namespace

std::optional<std::string> draw_survey(const std::string& name, int fd, const reader::SoundingArrays& arrays,
                                       const ColumnPlan& plan) {
  const std::optional<PictureKind> kind = picture_kind(name);
  if (!kind) return "the name ends in neither .png, .svg nor .pdf";
  return write_picture(fd, *kind, ArraysView(arrays, plan));
}
#else
std::optional<std::string> draw_survey(const std::string&, int, const reader::SoundingArrays&, const ColumnPlan&) {
  return "this korvan2col was built without cairo, which draws the pictures";
}
#endif

}  // namespace korvan::driver
