#pragma once
// The page's style, body and script, built into the program from
// page.css, page.html and page.js.

#include <string_view>

namespace trace {

extern const std::string_view kPageCss;
extern const std::string_view kPageBody;
extern const std::string_view kPageJs;

}  // namespace trace
