#pragma once
// Texts between our UTF-8 bytes and the UTF-16 of the Windows wide calls. Bytes that are not
// UTF-8 become U+FFFD on the way in; nothing else is changed.
#ifdef _WIN32
#include <string>

namespace qn::platform {

std::wstring wide_from_utf8(const std::string& text);
std::string utf8_from_wide(const std::wstring& text);

}  // namespace qn::platform
#endif
