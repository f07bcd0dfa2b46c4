#include "engine/run_options.h"

namespace qn {

std::tm local_now() {
  std::time_t t = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &t);
#else
  localtime_r(&t, &local);
#endif
  return local;
}

std::tm RunOptions::now() const { return clock ? clock() : local_now(); }

}  // namespace qn
