// The display name the host toolbox draws in its narrow tool cell: the tool name with a
// line break where the second line begins, realigned so that the host does not garble a
// mixed name, and a second line shortened when it would not fit. Texts are GBK bytes;
// positions are 1-based byte positions.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace editing {

// Marks where the host starts the second line: "/换行/".
inline constexpr std::string_view kLineBreakMarker = "/\xbb\xbb\xd0\xd0/";

// Widest line, in pixels of the measuring font, that fits the host's cell.
inline constexpr int kDisplayWidthLimit = 73;

// `text_width` gives the pixel width of a text drawn on one line in the measuring font.
std::string make_display_name(std::string_view name,
                              const std::function<int(std::string_view)>& text_width);

// The code page's lead-byte test at 1-based position `p`; past the end counts as false.
bool is_lead(std::string_view text, int p);

// Without leading and trailing ASCII spaces and full-width spaces (0xA1 0xA1).
std::string_view trim_host_spaces(std::string_view text);

// What the rename panel previews: every line-break marker becomes CR LF.
std::string preview_display_name(std::string_view display_name);

}  // namespace editing
