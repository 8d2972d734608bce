// The page a browser gets where the wizard does not open: a visit without
// the access token (the wizard's page sends it there), or a visit of the
// JSON interface or under another server name, which would otherwise show a
// bare JSON refusal. It says how to open the wizard, and never holds the
// token: any page may read it once a name of its own points to this machine.
#pragma once

#include <string>
#include <string_view>

namespace kestrel::web {

// Where the wizard's page sends a visit without a usable token.
inline constexpr std::string_view kOpenPagePath = "/open";

// Whether a request is a browser's visit of a page (GET or HEAD accepting
// HTML), not a call that the page's script makes.
bool WantsPage(std::string_view method, std::string_view accept);

// The page: `why` (a sentence) says what went wrong, `address` is where the
// wizard answers ("127.0.0.1:PORT").
std::string OpenPage(std::string_view address, std::string_view why);

}  // namespace kestrel::web
