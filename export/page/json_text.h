// JSON strings for the page's data blocks: "\"a\\u003cb\"" for a<b.
#pragma once

#include <string>
#include <string_view>

// Appends text as a JSON string: quotes, backslashes and controls escaped,
// and "<" too, so that no "</script" can end the block it stands in.
void appendJsonString(std::string* out, std::string_view text);
