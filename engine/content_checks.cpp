#include "engine/content_checks.h"

#include <exception>
#include <new>

#include "base/step_error.h"

namespace qn {

ContentOutcome check_content_now(const std::string& path) {
  ContentOutcome outcome;
  try {
    outcome.verdict = check_track_content(path, &outcome.stamp);
    return outcome;
  } catch (const StepError& e) {
    outcome.error_number = e.number();
    outcome.error_text = e.what();
  } catch (const std::bad_alloc&) {
    outcome.error_number = 7;
    outcome.error_text = "Out of memory during the deep check of " + path;
  } catch (const std::exception& e) {
    // Never lost on a worker thread: the entry's run reports it.
    outcome.error_number = 51;
    outcome.error_text = std::string("Internal error in the deep check: ") + e.what() + ": " + path;
  }
  outcome.verdict = {ContentStatus::kUnreadable, "", outcome.error_text, -1, -1};
  return outcome;
}

}  // namespace qn
