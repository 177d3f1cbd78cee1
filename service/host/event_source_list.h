// The "Sources" list of an event log: a registry multi-string (strings, each with its zero, then
// a final zero). These helpers edit its bytes; reading and writing the value is the caller's.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zelquo::service {

// The strings of a multi-string value as read from the registry. Reading stops at the first
// empty string or at the end of the data, so a value missing its final zeros still splits.
[[nodiscard]] std::vector<std::string> SplitMultiString(std::string_view data);
// The value's bytes: every string with its zero, then one more zero.
[[nodiscard]] std::string JoinMultiString(const std::vector<std::string>& strings);

// Appends source when no entry equals it (case-sensitive). True when the list changed.
bool AppendSourceIfAbsent(std::vector<std::string>& sources, std::string_view source);
// Removes the first entry equal to source. True when the list changed.
bool RemoveFirstSource(std::vector<std::string>& sources, std::string_view source);

}  // namespace zelquo::service
