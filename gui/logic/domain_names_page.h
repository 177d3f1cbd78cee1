// The Domain Names page's logic: the host-name rule, the two lists as the page shows them, and
// what Add, Remove and Remove All write. The dialogs that ask for a name are the caller's.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "logic/page_context.h"

namespace zelquo::gui {

// Letters, digits, "." and "-" (any case); neither first nor last is "." or "-", and no two of
// them stand side by side. The empty text passes.
[[nodiscard]] bool IsValidHostname(std::string_view text);

// The list lines: each stored host name, and each alias joined to its host name by one ".".
[[nodiscard]] std::vector<std::string> DomainNameLines(const CSettingsFile& settings);
[[nodiscard]] std::vector<std::string> AliasLines(const CSettingsFile& settings);

struct AliasFields {
  std::string alias;
  std::string host_name;
};

// Asks for a name, showing `previous` (empty the first time); nullopt when the user cancels.
using AskDomainName = std::function<std::optional<std::string>(const std::string& previous)>;
using AskAlias = std::function<std::optional<AliasFields>(const AliasFields& previous)>;

// Asks until the answer is a valid host name (each refusal shown as a message) or the user
// cancels. A valid name is appended, "updatedip" emptied, and true returned; either way a fresh
// update is requested. Nothing is written before a valid answer.
bool AddDomainName(const PageContext& context, const AskDomainName& ask);
// The same for an alias, checked and stored joined to its host name.
bool AddAlias(const PageContext& context, const AskAlias& ask);

// Remove the first entry whose text is exactly `line` (later entries move down). No fresh update.
void RemoveDomainName(const CSettingsFile& settings, std::string_view line);
// An alias line is split at its first "." into alias and host name; an alias that itself holds
// a "." is found by its whole joined line instead.
void RemoveAlias(const CSettingsFile& settings, std::string_view line);
// Only the counts go to 0; the numbered entries stay in the file, unread.
void RemoveAllDomainNames(const CSettingsFile& settings);
void RemoveAllAliases(const CSettingsFile& settings);

}  // namespace zelquo::gui
