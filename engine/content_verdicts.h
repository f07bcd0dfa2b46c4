#pragma once
// What the deep check of a track adds to its entry, and the plain words a reader gets after a
// FAIL: what the verdicts most likely mean, made firmer by the deep check where it ran.
#include <string>

#include "audio/check_audio_file.h"
#include "audio/content_check.h"
#include "engine/run_result.h"

namespace qn {

// The entry's content record: "ok", "fail", "unchecked", "unsupported" or "unreadable", and the
// text that ends its report line (" content OK (MD5 and frame CRCs)", " content FAIL (...)").
EntryContent entry_content(const ContentVerdict& verdict);

// The hint for an entry that failed (empty for one that did not): from its verdicts, the lengths
// its check compared and, when it was made, its deep check.
std::string failure_hint(const EntryResult& entry, bool flac, const AudioCheckFacts& facts);

}  // namespace qn
