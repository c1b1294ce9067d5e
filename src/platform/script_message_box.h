// SPDX-License-Identifier: GPL-3.0-or-later
// The box a page's script raises (alert, confirm, prompt), as the browser shows it: a window of
// the program's own with this title and one button. The alert dismisser finds and clicks boxes by
// the same two texts, so they are written here once for both. UTF-8.
#pragma once

#include <string_view>

namespace larkwend::script_message_box {

inline constexpr std::string_view kTitle = "来自网页的消息";
inline constexpr std::string_view kOkButton = "确定";

}  // namespace larkwend::script_message_box
