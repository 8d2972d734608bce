// The HTTP side of the web wizard: the listening socket, the access checks
// before every route, the routes to the wizard's calls and the built-in
// pages, and the end on SIGINT or SIGTERM. Built into libkestrel-web.so,
// which Serve (server.cpp) loads: the HTTP library and the TLS libraries it
// brings are then loaded by `kestrel serve` alone.
#include <fmt/format.h>

#include "web/server.h"

#include <httplib.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <thread>

#include "kestrel/error.h"
#include "kestrel/errors.h"
#include "kestrel/export.h"
#include "kestrel/store.h"
#include "present/error_face.h"
#include "present/json.h"
#include "web/access.h"
#include "web/assets.h"
#include "web/open_page.h"
#include "web/wizard.h"

namespace kestrel::web {
namespace {

void Send(httplib::Response& res, const Reply& reply) {
  res.status = reply.status;
  res.set_content(reply.body.dump(), "application/json");
}

void SendError(httplib::Response& res, int status, int32_t number, const std::string& description) {
  Send(res, Reply{status, ErrorBody(kestrel::Error(number, description))});
}

void Refuse(httplib::Response& res, const Refusal& refusal) {
  if (refusal.status == 415)
    SendError(res, 415, kestrel::Number(kestrel::Ours::RequestNotJson),
              fmt::format("{}: {}", kestrel::DefaultText(kestrel::Ours::RequestNotJson), refusal.why));
  else
    SendError(res, refusal.status, kestrel::rt::PermissionDenied,
              fmt::format("{}{}", kestrel::present::kRequestRefused, refusal.why));
}

// Blocks SIGINT and SIGTERM in the calling thread, and so in every thread it
// starts after, until it goes; sigwait then takes them.
class BlockedStopSignals {
 public:
  BlockedStopSignals() {
    sigemptyset(&set_);
    sigaddset(&set_, SIGINT);
    sigaddset(&set_, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set_, &old_);
  }
  ~BlockedStopSignals() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
  BlockedStopSignals(const BlockedStopSignals&) = delete;
  BlockedStopSignals& operator=(const BlockedStopSignals&) = delete;
  void Wait() const {
    int signal = 0;
    sigwait(&set_, &signal);
  }

 private:
  sigset_t set_{}, old_{};
};

void SendPage(httplib::Response& res, int status, const std::string& address, std::string_view why) {
  res.status = status;
  res.set_content(OpenPage(address, why), "text/html; charset=utf-8");
}

// A browser's visit that the checks refuse gets a page saying how to open
// the wizard, the calls of a script the JSON refusal.
void RefuseVisit(const httplib::Request& req, httplib::Response& res, const Refusal& refusal,
                 const std::vector<std::string>& hosts) {
  if (!WantsPage(req.method, req.get_header_value("Accept"))) return Refuse(res, refusal);
  const std::string host = req.get_header_value("Host");
  if (std::find(hosts.begin(), hosts.end(), host) == hosts.end())
    return SendPage(res, refusal.status, hosts.front(),
                    fmt::format("This wizard answers at http://{}/, not under the name this page was opened with.",
                                hosts.front()));
  SendPage(res, refusal.status, hosts.front(),
           "The wizard's data is shown by its own page, which needs the wizard's access token.");
}

void Route(httplib::Server& server, Wizard& wizard, const std::vector<std::string>& hosts) {
  server.Get("/api/profiles", [&](const httplib::Request&, httplib::Response& res) { Send(res, wizard.Profiles()); });
  server.Post("/api/export",
              [&](const httplib::Request& req, httplib::Response& res) { Send(res, wizard.Export(req.body)); });
  server.Get("/api/packs", [&](const httplib::Request&, httplib::Response& res) { Send(res, wizard.Packs()); });
  server.Get(R"(/api/packs/(.+))", [&](const httplib::Request& req, httplib::Response& res) {
    Send(res, wizard.Pack(req.matches[1].str()));
  });
  server.Post("/api/verify",
              [&](const httplib::Request& req, httplib::Response& res) { Send(res, wizard.Verify(req.body)); });
  server.Post("/api/check",
              [&](const httplib::Request& req, httplib::Response& res) { Send(res, wizard.Check(req.body)); });
  server.Post("/api/dry-run",
              [&](const httplib::Request& req, httplib::Response& res) { Send(res, wizard.Run(req.body, true)); });
  server.Post("/api/import",
              [&](const httplib::Request& req, httplib::Response& res) { Send(res, wizard.Run(req.body, false)); });
  server.Get("/api/diff", [&](const httplib::Request& req, httplib::Response& res) {
    Send(res, wizard.Diff(req.get_param_value("pack"), req.get_param_value("context")));
  });
  server.Get("/api/progress", [&](const httplib::Request&, httplib::Response& res) { Send(res, wizard.Progress()); });
  server.Get("/api/log", [&](const httplib::Request&, httplib::Response& res) { Send(res, wizard.Log()); });
  server.Get(std::string(kOpenPagePath), [&hosts](const httplib::Request&, httplib::Response& res) {
    SendPage(res, 200, hosts.front(), "This page was opened without the wizard's access token, or with the token "
                                      "of an earlier start of the wizard.");
  });
  server.Get(".*", [](const httplib::Request& req, httplib::Response& res) {
    const Asset* asset = FindAsset(req.path);
    if (!asset) {
      res.status = 404;
      res.set_content("not found\n", "text/plain");
      return;
    }
    res.set_content(std::string(asset->bytes), std::string(asset->content_type).c_str());
  });
}

void ServeHttp(const ServeOptions& o, std::ostream& out) {
  // The writes to a page that went away fail as errors, not as a signal.
  std::signal(SIGPIPE, SIG_IGN);
  BlockedStopSignals stop_signals;
  Wizard wizard(o.wizard);
  httplib::Server server;
  // Short keep-alive, so that a stop does not wait long on an idle browser.
  server.set_keep_alive_timeout(1);
  server.set_payload_max_length(1 << 20);
  const int port = o.port == 0 ? server.bind_to_any_port(o.bind) : server.bind_to_port(o.bind, o.port) ? o.port : -1;
  if (port <= 0)
    throw kestrel::ComError(kestrel::Number(kestrel::Ours::Internal),
                            fmt::format("{}: cannot listen on {}:{} (the port is taken, or the address is not one "
                                        "of this machine)",
                                        kestrel::DefaultText(kestrel::Ours::Internal), o.bind, o.port));
  const std::vector<std::string> hosts = HostsFor(o.bind, port);
  const Access access(NewToken(), hosts);
  server.set_default_headers({{"Cache-Control", "no-store"},
                              {"X-Content-Type-Options", "nosniff"},
                              {"X-Frame-Options", "DENY"},
                              {"Referrer-Policy", "no-referrer"},
                              {"Content-Security-Policy", "default-src 'self'; frame-ancestors 'none'"}});
  server.set_pre_routing_handler([&](const httplib::Request& req, httplib::Response& res) {
    // The header values are copies that the facts only view: kept here.
    const std::string host = req.get_header_value("Host"), origin = req.get_header_value("Origin"),
                      site = req.get_header_value("Sec-Fetch-Site"),
                      authorization = req.get_header_value("Authorization"),
                      content_type = req.get_header_value("Content-Type");
    const Refusal refusal = access.Check(
        RequestFacts{req.method, req.path, host,
                     req.has_header("Origin") ? std::optional<std::string_view>(origin) : std::nullopt, site,
                     authorization, content_type});
    if (refusal.status == 0) return httplib::Server::HandlerResponse::Unhandled;
    RefuseVisit(req, res, refusal, hosts);
    return httplib::Server::HandlerResponse::Handled;
  });
  // What a call throws past the wizard's own answers would otherwise go to
  // the page in a header, word for word.
  server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
    SendError(res, 500, kestrel::Number(kestrel::Ours::Internal),
              std::string(kestrel::DefaultText(kestrel::Ours::Internal)));
  });
  Route(server, wizard, hosts);

  std::atomic<bool> stopping = false;
  std::thread listener([&] {
    // A listener that ends by itself ends the wait below as a signal would.
    if (!server.listen_after_bind() && !stopping) ::kill(::getpid(), SIGTERM);
  });
  out << "Import wizard for " << kestrel::store::MaskedLocation(o.wizard.store) << ": http://" << hosts.front()
      << "/?token=" << access.token() << std::endl;
  stop_signals.Wait();
  stopping = true;
  // A running import stops between statements and rolls back; the wizard
  // waits for it when it goes.
  wizard.Stop();
  server.stop();
  listener.join();
}

}  // namespace
}  // namespace kestrel::web

extern "C" KESTREL_API void kestrel_web_serve(const kestrel::web::ServeOptions& options, std::ostream& out) {
  kestrel::web::ServeHttp(options, out);
}
