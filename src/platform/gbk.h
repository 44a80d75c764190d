// Text in the host's code page (GBK, code page 936) and UTF-8, for the window and the
// command line. The core keeps host bytes; conversion happens only at those edges.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Bytes that are not code page 936 become U+FFFD, one per undecodable character.
std::string gbk_to_utf8(std::string_view gbk);

// False, with *gbk untouched, when the input is not valid UTF-8 or holds a character
// that GBK has no form for. Never substitutes '?'.
bool utf8_to_gbk(std::string_view utf8, std::string* gbk);

// The first character of `utf8` that GBK cannot hold (as UTF-8), "" when there is none.
// An invalid UTF-8 sequence is reported as U+FFFD.
std::string first_character_without_gbk(std::string_view utf8);

// The message shown when a text cannot be stored, naming the first offending character.
std::string gbk_refusal_message(std::string_view utf8);

// A text read from the host and shown for editing. Converting it back gives the original
// bytes while the shown text is unchanged, so a value that does not decode cleanly (a
// double-byte character cut in half by a field's width, a byte outside code page 936)
// goes back to the file exactly as it came.
class EditableText {
 public:
  EditableText() = default;
  explicit EditableText(std::string gbk)
      : original_(std::move(gbk)), shown_(gbk_to_utf8(original_)) {}

  const std::string& original() const { return original_; }
  const std::string& shown() const { return shown_; }  // UTF-8

  // The host bytes for what the field shows now; false (and *gbk untouched) when an
  // edited text cannot be held in GBK.
  bool to_gbk(std::string_view shown_now, std::string* gbk) const;

 private:
  std::string original_;
  std::string shown_;
};

}  // namespace platform
