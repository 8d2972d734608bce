// The token, the Host check and the pack name check of the web wizard.
#include <fmt/format.h>

#include "web/access.h"

#include <openssl/crypto.h>
#include <openssl/rand.h>

#include <algorithm>
#include <cctype>

#include "kestrel/error.h"
#include "kestrel/errors.h"

namespace kestrel::web {

std::string NewToken() {
  unsigned char bytes[16];
  if (RAND_bytes(bytes, sizeof bytes) != 1)
    throw kestrel::ComError(
        kestrel::Number(kestrel::Ours::Internal),
        fmt::format("{}: the system's random generator gave no token", kestrel::DefaultText(kestrel::Ours::Internal)));
  static constexpr char kHex[] = "0123456789abcdef";
  std::string token;
  for (unsigned char b : bytes) {
    token += kHex[b >> 4];
    token += kHex[b & 0x0F];
  }
  return token;
}

std::vector<std::string> HostsFor(const std::string& bind, int port) {
  if (bind == "127.0.0.1" || bind == "localhost")
    return {fmt::format("127.0.0.1:{}", port), fmt::format("localhost:{}", port)};
  if (bind.find(':') != std::string::npos) return {fmt::format("[{}]:{}", bind, port)};
  return {fmt::format("{}:{}", bind, port)};
}

Access::Access(std::string token, std::vector<std::string> hosts)
    : token_(std::move(token)), hosts_(std::move(hosts)) {}

// Compared in constant time, so that the time of a refusal tells nothing of
// how much of a guess was right.
bool Access::Matches(std::string_view candidate) const {
  return candidate.size() == token_.size() && CRYPTO_memcmp(candidate.data(), token_.data(), token_.size()) == 0;
}

// The wizard's own page is served as http://HOST for each Host it answers
// to; "null" (a sandboxed frame, a file, a redirect) is no page of ours.
bool Access::OriginAllowed(std::string_view origin) const {
  constexpr std::string_view kScheme = "http://";
  return origin.substr(0, kScheme.size()) == kScheme &&
         std::find(hosts_.begin(), hosts_.end(), origin.substr(kScheme.size())) != hosts_.end();
}

namespace {

// "application/json", in any case, with or without parameters such as a
// charset: the one type a form or a plain request of another page cannot
// declare without the browser asking this server first.
bool DeclaresJson(std::string_view content_type) {
  content_type = content_type.substr(0, content_type.find(';'));
  while (!content_type.empty() && (content_type.back() == ' ' || content_type.back() == '\t'))
    content_type.remove_suffix(1);
  constexpr std::string_view kJson = "application/json";
  return content_type.size() == kJson.size() &&
         std::equal(kJson.begin(), kJson.end(), content_type.begin(),
                    [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

}  // namespace

Refusal Access::Check(const RequestFacts& r) const {
  if (std::find(hosts_.begin(), hosts_.end(), r.host) == hosts_.end())
    return {403, "the request names another server in its Host header"};
  const bool reads = r.method == "GET" || r.method == "HEAD";
  const bool api = r.path.substr(0, 5) == "/api/";
  if (reads && !api) return {};
  constexpr std::string_view kBearer = "Bearer ";
  if (r.authorization.substr(0, kBearer.size()) != kBearer || !Matches(r.authorization.substr(kBearer.size())))
    return {403, "the wizard's calls need the token that kestrel serve printed, in the header "
                 "\"Authorization: Bearer TOKEN\" (the wizard's page sends it)"};
  if ((r.origin && !OriginAllowed(*r.origin)) || r.sec_fetch_site == "cross-site" || r.sec_fetch_site == "same-site")
    return {403, "the request comes from a page of another origin than the wizard's"};
  if (!reads && !r.origin && r.sec_fetch_site != "same-origin")
    return {403, "a call that changes something must name the wizard's page as its Origin"};
  if (!reads && !DeclaresJson(r.content_type))
    return {415, "the wizard's calls take a JSON body, declared as \"Content-Type: application/json\""};
  return {};
}

std::string PackNameProblem(std::string_view name) {
  // A name starting with "." is an export still being written (its folder
  // takes the pack's name only when it is whole), or no pack at all.
  if (name.empty() || name.front() == '.' || name.find("..") != std::string_view::npos)
    return fmt::format("a pack name is the name of one folder below the export's pack folder, not \"{}\"", name);
  for (char c : name)
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20)
      return fmt::format("a pack name is one folder name, without \"/\", \"\\\" or control characters: {}", name);
  return "";
}

}  // namespace kestrel::web
