// The generator of surveys with known values. Each value is drawn as a
// decimal (digits and a power of ten); what it means is worked out by
// std::from_chars from a plain rendering of that decimal, and its text in the
// file is drawn among the forms the format allows.
#include "tests/known_values.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string_view>

#include "console/console.h"
#include "console/diagnostics.h"
#include "console/stop.h"
#include "run/run.h"
#include "tests/reference/decimal_reference.h"
#include "tests/test_support.h"
#include "text/input_unit.h"

namespace korvan::testing {
namespace {

class Draw {
 public:
  explicit Draw(std::uint64_t seed) : rng_(seed) {}
  bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
  int between(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  template <typename T, std::size_t N>
  const T& pick(const std::array<T, N>& options) {
    return options[static_cast<std::size_t>(between(0, static_cast<int>(N) - 1))];
  }
  std::string digits(int n, bool nonzero_first) {
    std::string d;
    for (int i = 0; i < n; ++i) d += static_cast<char>('0' + between(i == 0 && nonzero_first ? 1 : 0, 9));
    return d;
  }

 private:
  std::mt19937_64 rng_;
};

// digits * 10^scale.
struct Decimal {
  bool negative = false;
  std::string digits = "0";
  int scale = 0;
};

// The decimal as from_chars reads it, and so what it means.
std::string plain_text(const Decimal& d) {
  return (d.negative ? "-" : "") + d.digits + "e" + std::to_string(d.scale);
}

KnownField meaning(const Decimal& d) {
  const std::string text = plain_text(d);
  KnownField f;
  std::from_chars(text.data(), text.data() + text.size(), f.exact);
  std::from_chars(text.data(), text.data() + text.size(), f.single);
  return f;
}

// A decimal close to halfway between two floats near `magnitude`: the
// midpoint written out with 40 significant digits (exact, or a hair off),
// now and then moved one unit in its last digit.
Decimal near_float_midpoint(Draw& draw, double magnitude) {
  const auto low = static_cast<float>(magnitude * (1 + draw.between(0, 999) / 1000.0));
  const float high = std::nextafter(low, 2 * low);
  const double midpoint = (static_cast<double>(low) + static_cast<double>(high)) / 2;
  char text[64];
  std::snprintf(text, sizeof text, "%.39e", midpoint);  // d.ddd...e+XX
  const std::string_view s(text);
  const std::size_t e = s.find('e');
  Decimal d;
  d.digits = std::string(s.substr(0, 1)) + std::string(s.substr(2, e - 2));
  d.scale = std::stoi(std::string(s.substr(e + 1))) - static_cast<int>(d.digits.size()) + 1;
  if (draw.chance(0.3)) {
    char& last = d.digits.back();
    last = last == '9' ? '8' : last == '0' ? '1' : static_cast<char>(last + (draw.chance(0.5) ? 1 : -1));
  }
  d.negative = draw.chance(0.3);
  return d;
}

// Digits before and after the point, with a sign now and then.
Decimal plain_decimal(Draw& draw, int whole, int fraction, double negative) {
  Decimal d;
  d.digits = draw.digits(whole, true) + draw.digits(fraction, false);
  d.scale = -fraction;
  d.negative = draw.chance(negative);
  return d;
}

Decimal coordinate(Draw& draw) {
  const int kind = draw.between(0, 19);
  if (kind == 0) return Decimal{};
  if (kind <= 2) return near_float_midpoint(draw, draw.chance(0.5) ? 1e5 : 5e6);
  if (kind <= 4) return plain_decimal(draw, draw.between(5, 8), draw.between(8, 14), 0.1);  // past a double's digits
  return plain_decimal(draw, draw.between(3, 7), draw.between(0, 6), 0.1);
}

Decimal height(Draw& draw) {
  const int kind = draw.between(0, 9);
  if (kind == 0) return near_float_midpoint(draw, 30);
  Decimal d = plain_decimal(draw, draw.between(1, 3), draw.between(0, 4), 0.0);
  d.negative = !draw.chance(0.05);  // heights are negative vertical coordinates
  return d;
}

Decimal datum(Draw& draw) {
  const int kind = draw.between(0, 19);
  if (kind == 0) return Decimal{};
  if (kind <= 3) return near_float_midpoint(draw, std::pow(10.0, draw.between(-3, 4)));
  if (kind == 4) {
    Decimal d = plain_decimal(draw, 1, draw.between(0, 8), 0.5);
    d.scale += draw.between(-30, 30);
    return d;
  }
  return plain_decimal(draw, draw.between(1, 5), draw.between(0, 5), 0.3);
}

// ------------------------------------------------------------ writing values

class Writer {
 public:
  Writer(Draw& draw, std::map<std::string, std::int64_t>& layouts) : draw_(draw), layouts_(layouts) {}

  void seen(const char* layout) { ++layouts_[layout]; }

  // A decimal in one of the forms a real may take.
  std::string real(const Decimal& d) {
    std::string sign = d.negative ? "-" : "";
    if (!d.negative && draw_.chance(0.05)) {
      sign = "+";
      seen("plus sign");
    }
    const int form = draw_.between(0, 9);
    if (form <= 5 && d.scale >= -30 && d.scale <= 8) return sign + fixed(d);
    seen("exponent");
    // d.ddd with the exponent moved to match, or all the digits as a whole.
    const bool point = draw_.chance(0.8);
    const std::string mantissa = point ? d.digits.substr(0, 1) + "." + d.digits.substr(1) : d.digits;
    const int exponent = d.scale + (point ? static_cast<int>(d.digits.size()) - 1 : 0);
    const std::string magnitude = std::to_string(std::abs(exponent));
    const std::string exponent_sign = exponent < 0 ? "-" : draw_.chance(0.5) ? "+" : "";
    if (draw_.chance(0.2)) {
      seen("exponent as a bare sign");
      return sign + mantissa + (exponent < 0 ? "-" : "+") + magnitude;
    }
    static constexpr std::array<char, 6> kMarkers = {'E', 'e', 'D', 'd', 'Q', 'q'};
    const char marker = draw_.pick(kMarkers);
    seen(marker == 'E' || marker == 'e' ? "exponent E" : marker == 'D' || marker == 'd' ? "exponent D" : "exponent Q");
    const std::string zeros = draw_.chance(0.2) ? "0" : "";
    return sign + mantissa + marker + exponent_sign + zeros + magnitude;
  }

  std::string letter(char c) {
    if (draw_.chance(0.3)) c = static_cast<char>(c - 'a' + 'A');
    if (draw_.chance(0.15)) {
      seen("quoted letter");
      return draw_.chance(0.5) ? std::string("'") + c + "'" : std::string("\"") + c + "\"";
    }
    return std::string(1, c);
  }

 private:
  std::string fixed(const Decimal& d) {
    const auto n = static_cast<int>(d.digits.size());
    if (d.scale >= 0) {
      std::string text = d.digits + std::string(static_cast<std::size_t>(d.scale), '0');
      if (draw_.chance(0.3)) text += draw_.chance(0.5) ? "." : ".0";
      return text;
    }
    const int before = n + d.scale;
    if (before > 0) return d.digits.substr(0, static_cast<std::size_t>(before)) + "." + d.digits.substr(static_cast<std::size_t>(before));
    const std::string lead = draw_.chance(0.2) ? "" : "0";
    return lead + "." + std::string(static_cast<std::size_t>(-before), '0') + d.digits;
  }

  Draw& draw_;
  std::map<std::string, std::int64_t>& layouts_;
};

// ------------------------------------------------------------ writing entries

// One value of an entry: its text, or a null (empty) one.
struct Token {
  std::string text;
  bool null = false;
  bool number = true;  // a repeat count may stand before it
};

class EntryWriter {
 public:
  EntryWriter(Draw& draw, Writer& values) : draw_(draw), values_(values) {}

  // An entry's values as records: `receiver` lines stand on one record and
  // may end in a slash that leaves the last values unread (`cut` of them).
  std::string entry(std::vector<Token> tokens, bool receiver, std::size_t cut, const std::string& after) {
    // Items: repeats gather runs of equal values or nulls.
    struct Item {
      std::string text;
      bool null = false;
    };
    std::vector<Item> items;
    for (std::size_t i = 0; i < tokens.size();) {
      std::size_t run = 1;
      while (i + run < tokens.size() && tokens[i + run].null == tokens[i].null && tokens[i].number &&
             tokens[i + run].number && tokens[i + run].text == tokens[i].text) {
        ++run;
      }
      if (run > 1 && draw_.chance(0.7)) {
        values_.seen(tokens[i].null ? "null repeat r*" : "repeat r*c");
        items.push_back({std::to_string(run) + "*" + tokens[i].text, false});
        i += run;
        continue;
      }
      if (tokens[i].null) values_.seen("null between commas");
      items.push_back({tokens[i].text, tokens[i].null});
      ++i;
    }
    std::string out = lead();
    for (std::size_t i = 0; i < items.size(); ++i) {
      out += items[i].text;
      if (i + 1 == items.size()) {
        if (items[i].null) out += ",";  // the comma that ends the last null
        break;
      }
      const bool comma = items[i].null || items[i + 1].null || draw_.chance(0.15);
      if (comma) {
        static constexpr std::array<const char*, 5> kCommas = {",", " ,", ", ", " , ", "\t,"};
        values_.seen("comma");
        out += draw_.pick(kCommas);
      } else if (!receiver && draw_.chance(0.12)) {
        values_.seen("entry over several lines");
        out += line_end() + blank_lines() + lead();
      } else {
        static constexpr std::array<const char*, 4> kBlanks = {" ", "  ", "\t", " \t "};
        if (draw_.chance(0.1)) values_.seen("tab");
        out += draw_.pick(kBlanks);
      }
    }
    if (cut > 0) {
      values_.seen("slash leaves values unread");
      out += draw_.chance(0.5) ? " /" : "/";
    }
    out += after;
    if (draw_.chance(0.1)) out += draw_.chance(0.5) ? " " : "\t ";
    return out + line_end();
  }

  // Records of blanks, which may stand before any entry but a receiver line.
  std::string blank_lines() {
    std::string out;
    while (draw_.chance(0.08)) {
      values_.seen("blank line");
      out += (draw_.chance(0.5) ? "" : " \t") + line_end();
    }
    return out;
  }

  // Text after the last value an entry needs, which the reading passes over.
  std::string comment() {
    static constexpr std::array<const char*, 5> kComments = {" ! station", "  line 7, fix ok", " / note",
                                                             "\t'quoted, text", " # x=1,2"};
    if (!draw_.chance(0.1)) return "";
    values_.seen("text after the last value");
    return draw_.pick(kComments);
  }

 private:
  std::string lead() { return draw_.chance(0.1) ? (draw_.chance(0.5) ? " " : "\t") : ""; }
  std::string line_end() {
    if (draw_.chance(0.1)) {
      values_.seen("CR LF");
      return "\r\n";
    }
    return "\n";
  }

  Draw& draw_;
  Writer& values_;
};

// ------------------------------------------------------------ the survey

struct Channel {
  char orientation;
  char component;  // sounding 1's, which makes the columns
};

// A value of the table, drawn or left empty.
Token value_token(Writer& values, const Decimal& d, KnownField& field, Draw& draw, double empty) {
  if (draw.chance(empty)) {
    field.empty = true;
    return {"", true};
  }
  field = meaning(d);
  return {values.real(d)};
}

}  // namespace

KnownSurvey generate_known_survey(std::uint64_t seed, const KnownSurveyShape& shape) {
  Draw draw(seed);
  KnownSurvey survey;
  Writer values(draw, survey.layouts);
  EntryWriter entries(draw, values);

  const int nfreq = draw.between(1, 3);
  std::vector<std::string> frequencies;
  std::vector<std::vector<Channel>> channels(static_cast<std::size_t>(nfreq));
  static constexpr std::array<char, 3> kOrientations = {'x', 'y', 'z'};
  static constexpr std::array<char, 4> kComponents = {'b', 'b', 'i', 'q'};
  for (auto& transmitters : channels) {
    frequencies.push_back(values.real(plain_decimal(draw, draw.between(2, 6), draw.between(0, 2), 0)));
    transmitters.resize(static_cast<std::size_t>(draw.between(1, 2)));
    for (Channel& c : transmitters) c = {draw.pick(kOrientations), draw.pick(kComponents)};
  }
  for (const auto& transmitters : channels) {
    for (const Channel& c : transmitters) survey.data_columns += c.component == 'b' ? 2 : 1;
  }
  const bool variations = shape.variations && draw.chance(0.3);
  const double empty = draw.chance(0.3) ? 0.05 : 0;

  const std::int64_t nsound = draw.between(static_cast<int>(shape.min_soundings), static_cast<int>(shape.max_soundings));
  if (draw.chance(0.05)) {
    values.seen("byte-order mark");
    survey.text += "\xEF\xBB\xBF";
  }
  survey.text += std::to_string(nsound) + entries.comment() + "\n";
  for (std::int64_t isound = 1; isound <= nsound; ++isound) {
    std::vector<KnownField> row(3);
    std::vector<Token> sounding = {value_token(values, coordinate(draw), row[0], draw, empty),
                                   value_token(values, coordinate(draw), row[1], draw, empty),
                                   {std::to_string(nfreq)}};
    if (draw.chance(0.05) && !row[0].empty) {
      values.seen("x and y alike");
      sounding[1] = sounding[0];
      row[1] = row[0];
    }
    survey.empty_values += row[0].empty + row[1].empty;
    survey.text += entries.blank_lines() + entries.entry(sounding, false, 0, entries.comment());
    bool lacking = false;
    bool dropping = false;
    for (std::size_t f = 0; f < channels.size(); ++f) {
      const std::vector<Token> frequency = {{frequencies[f]}, {std::to_string(channels[f].size())}};
      survey.text += entries.blank_lines() + entries.entry(frequency, false, 0, entries.comment());
      for (std::size_t t = 0; t < channels[f].size(); ++t) {
        const Channel& c = channels[f][t];
        KnownField z;
        const bool first = f == 0 && t == 0;
        const std::vector<Token> transmitter = {{values.real(plain_decimal(draw, 1, draw.between(0, 2), 0))},
                                                value_token(values, height(draw), z, draw, empty),
                                                {values.letter(c.orientation), false, false},
                                                {"1"}};
        if (first) {
          row[2] = z;
          row[2].single = -z.single;
          survey.empty_values += z.empty;
        }
        survey.text += entries.blank_lines() + entries.entry(transmitter, false, 0, entries.comment());

        // The receiver: its component is sounding 1's, or now and then another.
        char component = c.component;
        if (variations && isound > 1 && draw.chance(0.2)) component = draw.pick(kComponents);
        lacking = lacking || (c.component == 'b' && component != 'b') || (c.component == 'i' && component == 'q') ||
                  (c.component == 'q' && component == 'i');
        dropping = dropping || (c.component != 'b' && component == 'b');
        std::array<KnownField, 2> data;  // in-phase, quadrature
        data[0].empty = data[1].empty = true;
        const Decimal moment = plain_decimal(draw, 1, draw.between(0, 1), 0);
        const std::string moment_text = values.real(moment);
        std::vector<Token> receiver = {{moment_text},
                                       {draw.chance(0.2) ? moment_text : values.real(plain_decimal(draw, 1, 1, 0))},
                                       {draw.chance(0.5) ? "0" : values.real(plain_decimal(draw, 1, 1, 0.5))},
                                       transmitter[1].null ? Token{"-30"} : transmitter[1],
                                       {values.letter(c.orientation), false, false},
                                       {std::to_string(draw.between(0, 3))},
                                       {values.letter(component), false, false}};
        const std::size_t needed = component == 'b' ? 2 : 1;
        std::array<KnownField, 2> read{};
        for (std::size_t v = 0; v < needed; ++v) receiver.push_back(value_token(values, datum(draw), read[v], draw, empty));
        // A slash leaves the last values unread.
        std::size_t cut = 0;
        if (draw.chance(empty)) {
          cut = static_cast<std::size_t>(draw.between(1, static_cast<int>(needed)));
          receiver.resize(receiver.size() - cut);
          for (std::size_t v = needed - cut; v < needed; ++v) read[v] = KnownField{true};
        }
        if (needed == 2 && cut == 0 && !read[0].empty && !read[1].empty && draw.chance(0.05)) {
          values.seen("equal data values");
          receiver[8] = receiver[7];
          read[1] = read[0];
        }
        for (std::size_t v = 0; v < needed; ++v) survey.empty_values += read[v].empty;
        if (component == 'b') data = read;
        if (component == 'i') data[0] = read[0];
        if (component == 'q') data[1] = read[0];
        std::string after;
        if (cut == 0 && draw.chance(0.05)) {
          static constexpr std::array<const char*, 4> kExtra = {" 7", ",7", " 12.5", " ok"};
          values.seen("value after the data");
          after = draw.pick(kExtra);
          ++survey.ignored_values;
        } else if (cut == 0 && draw.chance(0.05)) {
          values.seen("text after a slash");
          after = " / fix";
        }
        survey.text += entries.entry(receiver, true, cut, after);
        if (c.component != 'q') row.push_back(data[0]);
        if (c.component != 'i') row.push_back(data[1]);
      }
    }
    survey.soundings_lacking += lacking;
    survey.soundings_dropping += dropping;
    survey.rows.push_back(std::move(row));
  }
  if (draw.chance(0.1)) {
    values.seen("no line end at the end");
    while (!survey.text.empty() && (survey.text.back() == '\n' || survey.text.back() == '\r')) survey.text.pop_back();
  }
  return survey;
}

std::string expected_csv_field(const KnownField& field, bool coordinate) {
  if (field.empty) return "";
  char text[64];
  if (coordinate ? field.exact == 0 : field.single == 0) return "0";
  const auto end = coordinate ? std::to_chars(text, text + sizeof text, field.exact).ptr
                              : std::to_chars(text, text + sizeof text, field.single).ptr;
  return std::string(text, end);
}

std::string expected_vask_row(const std::vector<KnownField>& row) {
  using reference::exact_decimal;
  const auto single = [](const KnownField& f) { return f.empty ? 0.0F : f.single; };
  std::string text;
  for (std::size_t i = 0; i < row.size(); ++i) {
    text += ' ';
    text += i < 2 ? reference::reference_f(exact_decimal(single(row[i])), 15, 5)
                  : reference::right_adjusted(reference::reference_g(exact_decimal(single(row[i])), 12, 5));
  }
  return text + "\r\n";
}

// ------------------------------------------------------------ the check

namespace {

struct Converted {
  std::string table;
  std::string diagnostics;
  std::string stop;
};

Converted convert(const std::filesystem::path& data, const std::filesystem::path& output, run::OutputFormat format,
                  bool pieces) {
  run::ConversionOptions options;
  options.data_name = data.string();
  options.output_name = output.string();
  options.format = format;
  if (pieces) options.pieces_minimum_bytes = 0;
  Converted converted;
  std::string console_text;
  console::Console console(&console_text);
  console::Diagnostics diagnostics(&converted.diagnostics);
  text::InputUnit standard_input;
  try {
    run::run_conversion(standard_input, console, options, &diagnostics);
  } catch (const console::FatalStop& stop) {
    converted.stop = stop.console_line();
  }
  std::ifstream in(output, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  converted.table = text.str();
  return converted;
}

std::vector<std::string> lines_of(const std::string& text, const std::string& end) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t next = text.find(end, at);
    if (next == std::string::npos) {
      lines.push_back(text.substr(at));
      break;
    }
    lines.push_back(text.substr(at, next - at));
    at = next + end.size();
  }
  return lines;
}

// The number that a warning line of the given kind starts its text with.
std::int64_t warned(const std::string& diagnostics, const std::string& kind) {
  for (const std::string& line : lines_of(diagnostics, "\n")) {
    const std::size_t at = line.find("warning: ");
    if (at != std::string::npos && line.find(kind) != std::string::npos) return std::stoll(line.substr(at + 9));
  }
  return 0;
}

class Comparison {
 public:
  Comparison(std::uint64_t seed, KnownValuesTally& tally) : seed_(seed), tally_(tally) {}

  void field(const std::string& where, const std::string& got, const std::string& expected, const char* kind) {
    ++tally_.fields;
    if (got == expected) return;
    ++tally_.fields_differing;
    ++tally_.differences[kind];
    differ(where + ": \"" + got + "\", meant \"" + expected + "\"");
  }
  void differ(const std::string& what, const char* kind = nullptr) {
    if (kind != nullptr) ++tally_.differences[kind];
    if (!differing_) ++tally_.surveys_differing;
    differing_ = true;
    if (tally_.first_differences.size() < 12) {
      tally_.first_differences.push_back("seed " + std::to_string(seed_) + ": " + what);
    }
  }

 private:
  std::uint64_t seed_;
  KnownValuesTally& tally_;
  bool differing_ = false;
};

// What kind of wrong a CSV field is, for the check's summary.
const char* csv_difference(const std::vector<std::string>& fields, const std::vector<KnownField>& row, std::size_t f) {
  if (fields[f] == expected_csv_field(row[f], f < 2)) return "";
  if (row[f].empty) return "CSV: a value where the file has none";
  if (f >= 2) return "CSV: another height or datum";
  KnownField as_single = row[f];
  as_single.exact = as_single.single;
  if (fields[f] == expected_csv_field(as_single, true)) return "CSV: a coordinate in single precision";
  for (std::size_t other = 0; other < row.size(); ++other) {
    if (other != f && !row[other].empty && fields[f] == expected_csv_field(row[other], other < 2)) {
      return "CSV: a coordinate from another value";
    }
  }
  return "CSV: another coordinate";
}

// The CSV's line column: a track of 40 soundings or fewer (8 times the
// rule's smoothing) holds no flight line; on the random tracks of longer
// surveys, any line number will do.
std::string expected_line_field(const std::string& got, std::size_t soundings) {
  if (soundings <= 40) return "0";
  const bool number = !got.empty() && got.size() <= 10 && (got == "0" || got.front() != '0') &&
                      std::all_of(got.begin(), got.end(), [](char d) { return d >= '0' && d <= '9'; });
  return number ? got : "a line number";
}

void compare_csv(const KnownSurvey& survey, const Converted& csv, Comparison& c) {
  if (!csv.stop.empty()) return c.differ("CSV run stopped: " + csv.stop + " " + csv.diagnostics);
  std::vector<std::string> lines = lines_of(csv.table, "\n");
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  if (lines.size() != survey.rows.size() + 1) return c.differ("CSV has " + std::to_string(lines.size()) + " lines");
  for (std::size_t s = 0; s < survey.rows.size(); ++s) {
    std::vector<std::string> fields = lines_of(lines[s + 1] + ",", ",");
    const std::vector<KnownField>& row = survey.rows[s];
    if (fields.size() != row.size() + 2) return c.differ("CSV row " + std::to_string(s + 1) + ": " + lines[s + 1]);
    const std::string where = "CSV sounding " + std::to_string(s + 1);
    c.field(where + " number", fields[0], std::to_string(s + 1), "CSV: another sounding number");
    c.field(where + " line", fields[1], expected_line_field(fields[1], survey.rows.size()), "CSV: another line");
    fields.erase(fields.begin(), fields.begin() + 2);
    for (std::size_t f = 0; f < row.size(); ++f) {
      c.field(where + " field " + std::to_string(f + 3), fields[f],
              expected_csv_field(row[f], f < 2), csv_difference(fields, row, f));
    }
  }
}

void compare_vask(const KnownSurvey& survey, const Converted& vask, Comparison& c) {
  if (!vask.stop.empty()) return c.differ("plain run stopped: " + vask.stop + " " + vask.diagnostics);
  const std::size_t header_lines = 5 + survey.data_columns;
  std::vector<std::string> lines = lines_of(vask.table, "\r\n");
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  if (lines.size() != header_lines + survey.rows.size()) return c.differ("vask.out has " + std::to_string(lines.size()) + " lines");
  for (std::size_t s = 0; s < survey.rows.size(); ++s) {
    std::string expected = expected_vask_row(survey.rows[s]);
    expected.resize(expected.size() - 2);
    c.field("vask.out sounding " + std::to_string(s + 1), lines[header_lines + s], expected, "vask.out: a row");
  }
}

void compare_warnings(const KnownSurvey& survey, const Converted& run, const char* output, Comparison& c) {
  const auto count = [&](const std::string& kind, std::int64_t expected) {
    const std::int64_t got = warned(run.diagnostics, kind);
    if (got != expected) {
      c.differ(std::string(output) + " warns of " + std::to_string(got) + " " + kind + ", meant " +
                   std::to_string(expected) + ": " + run.diagnostics,
               "warnings");
    }
  };
  count("empty value", survey.empty_values);
  count("after their data", survey.ignored_values);
  count("no value for the component", survey.soundings_lacking);
  count("both components", survey.soundings_dropping);
}

}  // namespace

KnownValuesTally run_known_values(std::uint64_t first_seed, std::int64_t surveys, const KnownSurveyShape& shape,
                                  bool pieces) {
  KnownValuesTally tally;
  ScratchDir dir;
  for (std::int64_t i = 0; i < surveys; ++i) {
    const std::uint64_t seed = first_seed + static_cast<std::uint64_t>(i);
    const KnownSurvey survey = generate_known_survey(seed, shape);
    for (const auto& [layout, n] : survey.layouts) tally.layouts[layout] += n;
    dir.write("survey.prd", survey.text);
    const Converted csv = convert(dir.file("survey.prd"), dir.file("rows.csv"), run::OutputFormat::csv, pieces);
    const Converted vask = convert(dir.file("survey.prd"), dir.file("rows.out"), run::OutputFormat::vask, pieces);
    Comparison c(seed, tally);
    compare_csv(survey, csv, c);
    compare_vask(survey, vask, c);
    compare_warnings(survey, csv, "CSV run", c);
    compare_warnings(survey, vask, "plain run", c);
    ++tally.surveys;
  }
  return tally;
}

}  // namespace korvan::testing
