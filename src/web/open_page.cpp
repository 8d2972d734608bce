// The page that says how to open the wizard.
#include "web/open_page.h"

#include <fmt/format.h>

namespace kestrel::web {
namespace {

std::string Escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace

bool WantsPage(std::string_view method, std::string_view accept) {
  return (method == "GET" || method == "HEAD") && accept.find("text/html") != std::string_view::npos;
}

// Only the wizard's own stylesheet and icon: the pages' content security
// policy allows nothing inline.
std::string OpenPage(std::string_view address, std::string_view why) {
  return fmt::format(R"(<!DOCTYPE html>
<html lang="en">
<head>
  <meta charset="utf-8">
  <meta name="viewport" content="width=device-width, initial-scale=1">
  <title>Kestrel import wizard: open it with its address</title>
  <link rel="icon" href="/favicon.svg" type="image/svg+xml">
  <link rel="stylesheet" href="/app.css">
</head>
<body>
  <header><h1>Kestrel import wizard</h1></header>
  <main id="open">
    <h2>Open the wizard with the address it printed</h2>
    <p class="error" id="why">{}</p>
    <p>When the wizard starts, it prints one line with its address and an access token:</p>
    <pre class="address">Import wizard for <var>STORE</var>: http://{}/?token=<var>TOKEN</var></pre>
    <p>Copy that whole address from the terminal where the wizard runs into the address bar of this browser.
       The token keeps other pages and programs on this machine from using the wizard. A wizard that was started
       again prints a new token: the address of its earlier start no longer opens it.</p>
  </main>
</body>
</html>
)",
                     Escaped(why), Escaped(address));
}

}  // namespace kestrel::web
