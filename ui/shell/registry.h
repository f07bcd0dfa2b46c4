#pragma once
// Registry access: root-key and value-type constants and SetKeyValue, the write the shell
// registration uses. On Windows it reaches the registry; elsewhere the same keys and values are
// kept in a file of ours under $XDG_CONFIG_HOME/quarnell-verify/.
#include <cstdint>
#include <string>

// <windows.h> defines the root-key names as macros; keep them out of the way of our members.
#pragma push_macro("HKEY_LOCAL_MACHINE")
#pragma push_macro("HKEY_CURRENT_USER")
#undef HKEY_LOCAL_MACHINE
#undef HKEY_CURRENT_USER

namespace qn {

class RegistryClass {
 public:
  RegistryClass();
  RegistryClass(const RegistryClass&) = delete;
  RegistryClass& operator=(const RegistryClass&) = delete;

  // Root keys, as the 32-bit integers the writes take.
  std::int32_t HKEY_LOCAL_MACHINE() const;  // 0x80000002
  std::int32_t HKEY_CURRENT_USER() const;   // 0x80000001
  std::int32_t RegDWORD() const;            // 4

  std::int32_t RegSZ() const { return reg_sz_; }
  void RegSZ(std::int32_t value) { reg_sz_ = value; }
  std::int32_t HKeyNode() const { return hkey_node_; }
  void HKeyNode(std::int32_t value) { hkey_node_ = value; }
  const std::string& RootKey() const { return root_key_; }
  void RootKey(const std::string& value) { root_key_ = value; }

  // Opens the key KeyName under KeyRoot, creating it (and its missing parents) when it does not
  // exist, and writes the value SubKeyRef (the empty text names the default value): lType 1 as a
  // string, 3 as binary bytes, 4 as a 32-bit number given as text (decimal or "&H" hexadecimal).
  // Any other lType writes nothing and reports whether the key already existed. On failure
  // KeyVal becomes the empty text and the result is false.
  bool SetKeyValue(std::int32_t KeyRoot, const std::string& KeyName, std::int32_t lType,
                   const std::string& SubKeyRef, std::string& KeyVal);

 private:
  std::string root_key_;
  std::int32_t hkey_node_;
  std::int32_t reg_sz_;
};

// The 32-bit number that a lType-4 write stores: optional blanks, then a decimal number in the
// 32-bit signed range or "&H" with 1 to 8 hexadecimal digits (taken as the 32 bits). False for
// any other text.
bool parse_dword_text(const std::string& text, std::int32_t& value);

}  // namespace qn

#pragma pop_macro("HKEY_CURRENT_USER")
#pragma pop_macro("HKEY_LOCAL_MACHINE")
