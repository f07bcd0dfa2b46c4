#pragma once
#include <string>

namespace qn {

// "Dunmarsh", "EPCharts", "SheetMusic", "AlbumCharts", "1990+", "Quarnell" or the empty text.
// Throws StepError when the year text is not a number.
std::string CollectionCategory(const std::string& input);

}  // namespace qn
