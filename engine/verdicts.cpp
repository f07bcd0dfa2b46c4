#include "engine/verdicts.h"

#include <array>

#include "base/text.h"

namespace qn {

namespace {

const std::array<const char*, 4> kFlacVerdicts = {
    " FAIL (Length of File Error)",
    " FAIL (First 100 bytes of File Error)",
    " FAIL (Last 100 bytes of File Error)",
    " FAIL (Mismatch in more than 100 bytes of Audio)",
};

const char* mp3_verdict(long code) {
  switch (code) {
    case 0: return " OK";
    case 1: return " FAIL (Length of Audio Error)";
    case 3: return " FAIL (255 bytes following Start of Audio)";
    case 4: return " FAIL (Last 255 bytes of file)";
    case 5: return " FAIL (No Start of Audio Found)";
    case 6: return " FAIL (More than 80000 additional bytes found between End of Audio and End of File)";
    default: return nullptr;
  }
}

}  // namespace

long leading_number(const std::string& s) {
  long value = 0;
  for (char c : s) {
    if (c == ' ') continue;
    if (c < '0' || c > '9') break;
    if (value > 100000000L) break;  // far beyond any result code
    value = value * 10 + (c - '0');
  }
  return value;
}

std::string id3_suffix(const std::string& result) {
  std::size_t at = result.find(" ID3");
  return at == std::string::npos ? std::string() : result.substr(at);
}

DecodedVerdicts decode_verdicts(const std::string& result, const std::string& suffix) {
  DecodedVerdicts out;
  auto add = [&](const std::string& verdict) {
    out.verdicts.push_back(verdict);
    out.text += verdict + suffix;
  };
  if (result.size() == 4) {  // the FLAC flag text
    if (result == "0000") {
      add(" OK");
    } else {
      for (std::size_t i = 0; i < 4; ++i)
        if (result[i] == '1') add(kFlacVerdicts[i]);
    }
    return out;
  }
  if (const char* verdict = mp3_verdict(leading_number(result))) add(verdict);
  return out;
}

EntryStatus status_of_verdicts(const std::vector<std::string>& verdicts, const std::string& suffix) {
  if (verdicts.empty()) return EntryStatus::kNoVerdict;
  if (text::contains(suffix, " Fails")) return EntryStatus::kFail;
  for (const std::string& v : verdicts)
    if (v != " OK") return EntryStatus::kFail;
  return EntryStatus::kOk;
}

bool tags_only_report_line(const std::string& line) {
  return text::contains(line, " Fails") && !text::contains(line, " FAIL");
}

bool tags_only_failure(const EntryResult& entry) {
  if (entry.status != EntryStatus::kFail || entry.verdicts.empty()) return false;
  if (!text::contains(entry.id3_suffix, " Fails")) return false;
  if (entry.content && entry.content->status == "fail") return false;
  for (const std::string& v : entry.verdicts)
    if (v != " OK") return false;
  return true;
}

}  // namespace qn
