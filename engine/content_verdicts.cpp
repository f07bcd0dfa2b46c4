#include "engine/content_verdicts.h"

#include <vector>

#include "base/text.h"

namespace qn {

namespace {

const char* status_name(ContentStatus status) {
  switch (status) {
    case ContentStatus::kOk: return "ok";
    case ContentStatus::kFail: return "fail";
    case ContentStatus::kUnchecked: return "unchecked";
    case ContentStatus::kUnsupported: return "unsupported";
    case ContentStatus::kUnreadable: break;
  }
  return "unreadable";
}

const char* status_words(ContentStatus status) {
  switch (status) {
    case ContentStatus::kOk: return "OK";
    case ContentStatus::kFail: return "FAIL";
    case ContentStatus::kUnchecked: return "unchecked";
    case ContentStatus::kUnsupported: return "unsupported";
    case ContentStatus::kUnreadable: break;
  }
  return "unreadable";
}

std::string plural_bytes(std::int64_t n) { return std::to_string(n) + (n == 1 ? " byte" : " bytes"); }

// What proved an OK content, in the hint's words.
std::string proof(const EntryContent& content) {
  if (text::contains(content.method, "MD5")) return "MD5 OK";
  if (text::contains(content.method, "music CRC")) return "music CRC OK";
  return content.method + " OK";
}

bool has_verdict(const EntryResult& entry, const std::string& verdict) {
  for (const std::string& v : entry.verdicts)
    if (v == verdict) return true;
  return false;
}

// The tag checks that failed, as a hint: "ID3v1 tag changed". A track cut short has lost the
// ID3v1 tag at its end rather than changed it.
std::string tag_hint(const std::string& suffix, bool cut_short) {
  const bool v1 = text::contains(suffix, "ID3v1 Fails");
  const bool v2 = text::contains(suffix, "ID3v2 Fails");
  const std::string v1_text = cut_short ? "ID3v1 tag lost with the end" : "ID3v1 tag changed";
  if (v1 && v2) return cut_short ? v1_text + ", ID3v2 tag changed" : "ID3v1 and ID3v2 tags changed";
  if (v1) return v1_text;
  if (v2) return "ID3v2 tag changed";
  return "";
}

std::string length_hint(const AudioCheckFacts& facts, const char* what) {
  if (facts.measured_length < 0 || facts.expected_length < 0) return "";
  const std::int64_t missing = facts.expected_length - facts.measured_length;
  if (missing > 0) return "track truncated by " + plural_bytes(missing);
  if (missing < 0) return plural_bytes(-missing) + " more " + what + " than listed";
  return "";
}

std::string mp3_hint(const EntryResult& entry, const AudioCheckFacts& facts) {
  if (has_verdict(entry, " FAIL (No Start of Audio Found)")) return "no MPEG audio frames found: not an MP3 stream, or damaged at its start";
  if (has_verdict(entry, " FAIL (More than 80000 additional bytes found between End of Audio and End of File)"))
    return "no audio frame near the end of the file: damaged there, or other data appended";
  if (has_verdict(entry, " FAIL (Length of Audio Error)")) return length_hint(facts, "audio");
  if (has_verdict(entry, " FAIL (Last 255 bytes of file)")) return "the audio differs at its end";
  if (has_verdict(entry, " FAIL (255 bytes following Start of Audio)")) return "the audio differs at its start";
  return "";
}

struct FlacFlags {
  bool length = false, first = false, last = false, middle = false;
};

FlacFlags flac_flags(const EntryResult& entry) {
  return {has_verdict(entry, " FAIL (Length of File Error)"), has_verdict(entry, " FAIL (First 100 bytes of File Error)"),
          has_verdict(entry, " FAIL (Last 100 bytes of File Error)"),
          has_verdict(entry, " FAIL (Mismatch in more than 100 bytes of Audio)")};
}

std::string joined(const std::vector<std::string>& parts);

std::string flac_hint(const FlacFlags& f, const AudioCheckFacts& facts, const EntryContent* content) {
  const bool intact = content && content->status == "ok";
  // The end of the file still matches: what changed is at its start, where the metadata is.
  const bool start_only = f.first && !f.last;
  if (intact) return (start_only ? "tags rewritten, audio intact (" : "file rewritten, audio intact (") + proof(*content) + ")";
  const bool known = facts.measured_length >= 0 && facts.expected_length >= 0;
  if (f.length && f.last && known && facts.measured_length < facts.expected_length) return length_hint(facts, "bytes");
  std::string length;
  if (f.length && known && facts.measured_length != facts.expected_length) {
    const std::int64_t d = facts.measured_length - facts.expected_length;
    length = plural_bytes(d < 0 ? -d : d) + (d < 0 ? " shorter" : " longer") + " than listed";
  }
  std::string where;
  if (start_only) where = "the start of the file differs (tags or metadata rewritten, or damage there); its end matches";
  else if (f.first && f.last) where = "the file differs at its start and its end";
  else if (f.last) where = "the end of the file differs";
  else if (f.middle) where = "the audio differs in the middle of the file";
  return joined({length, where});
}

std::string joined(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& p : parts) {
    if (p.empty()) continue;
    out += (out.empty() ? "" : "; ") + p;
  }
  return out;
}

}  // namespace

EntryContent entry_content(const ContentVerdict& verdict) {
  EntryContent content;
  content.status = status_name(verdict.status);
  content.method = verdict.method;
  content.detail = verdict.detail;
  content.offset = verdict.offset;
  content.frame = verdict.frame;
  const std::string words = verdict.status == ContentStatus::kOk ? verdict.method : verdict.detail;
  content.text = std::string(" content ") + status_words(verdict.status) + (words.empty() ? "" : " (" + words + ")");
  return content;
}

std::string failure_hint(const EntryResult& entry, bool flac, const AudioCheckFacts& facts) {
  if (entry.status != EntryStatus::kFail) return "";
  const EntryContent* content = entry.content ? &*entry.content : nullptr;
  const bool audio_ok = has_verdict(entry, " OK");
  const bool cut_short = facts.measured_length >= 0 && facts.measured_length < facts.expected_length;
  const std::string tags = flac ? "" : tag_hint(entry.id3_suffix, cut_short);
  if (audio_ok && content && content->status == "fail")
    return joined({"the audio is damaged where the checksum file's sums do not look: " + content->detail, tags});

  std::string audio = flac ? flac_hint(flac_flags(entry), facts, content) : mp3_hint(entry, facts);
  std::string deep;
  if (content && !(flac && content->status == "ok")) {
    if (content->status == "ok") deep = (audio_ok ? "audio intact (" : "the audio passes its own check (") + proof(*content) + ")";
    else if (content->status == "fail") deep = "content: " + content->detail;
    else if (content->status == "unchecked") deep = "the file carries no check of its own to tell damage from a change";
  }
  // "ID3v1 tag changed, audio intact (music CRC OK)"
  if (audio_ok && !tags.empty() && !deep.empty() && content->status == "ok") return tags + ", " + deep;
  return joined({audio, tags, deep});
}

}  // namespace qn
