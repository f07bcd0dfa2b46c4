#pragma once
// Pieces of the label-image run.
#include <string>
#include <vector>

namespace qn {

namespace platform {
class ByteFile;
}  // namespace platform

// The fields of a label line, split at the byte FF.
std::vector<std::string> split_label_line(const std::string& line);

// 0..3: 1 = the length differs from field 1, 2 = the sum of the first 255 bytes differs from
// field 2 (four upper-case hexadecimal digits). Throws StepError when a field is missing or the
// image cannot be read.
int CheckLabelImage(const std::vector<std::string>& fields, const std::string& image_path);
// The same on an image open already.
int CheckLabelImage(const std::vector<std::string>& fields, platform::ByteFile& image);

}  // namespace qn
