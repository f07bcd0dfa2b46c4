#include "naming/category.h"

#include "base/paths.h"
#include "base/step_error.h"
#include "base/text.h"

namespace qn {
namespace {

// The chart year: "19" put before the text ahead of the first "_", last four characters, read
// as a whole number (blanks around it allowed).
int chart_year(const std::string& x) {
  const std::string year_text = text::right("19" + text::before_first(x, "_"), 4);
  const std::string digits = text::trim_blanks(year_text);
  if (digits.empty()) throw StepError(kErrTypeMismatch, "category: year is not a number: " + x);
  int year = 0;
  for (char c : digits) {
    if (c < '0' || c > '9')
      throw StepError(kErrTypeMismatch, "category: year \"" + year_text + "\" is not a number: " + x);
    year = year * 10 + (c - '0');
  }
  return year;
}

bool in_first_three(const std::string& x, const char* letters) {
  return text::contains(text::to_upper(text::left(x, 3)), letters);
}

}  // namespace

std::string CollectionCategory(const std::string& input) {
  const std::string x = FileNameOfPath(StripLeadingU(input));
  if (x == "Dunm") return "Dunmarsh";
  if (in_first_three(x, "EP")) return "EPCharts";
  if (in_first_three(x, "SM")) return "SheetMusic";
  if (in_first_three(x, "LP")) return "AlbumCharts";
  if (!text::contains(x, "_")) return "";
  const int year = chart_year(x);
  if (year > 1989) return "1990+";
  if (year < 1952) return "SheetMusic";
  return "Quarnell";
}

}  // namespace qn
