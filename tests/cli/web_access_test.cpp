// The web wizard's access checks, one request per row: what a page of
// another site, another port of this machine or a plain program can send,
// and what the wizard's own page sends; and its import job's reports.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "web/access.h"
#include "web/import_job.h"

namespace kestrel::testing {
namespace {

using web::Access;
using web::RequestFacts;

TEST(WebAccess, ChecksEveryRequest) {
  const std::string token = "0123456789abcdef0123456789abcdef";
  const Access access(token, web::HostsFor("127.0.0.1", 8123));
  const std::string bearer = "Bearer " + token;
  // The rows hold views: every text they name must outlive them.
  const std::string off_by_one = bearer.substr(0, 38) + "0", longer = bearer + "0", basic = "Basic " + token;
  const std::string own = "http://127.0.0.1:8123";
  const std::string json = "application/json";
  struct Row {
    const char* what;
    RequestFacts request;
    int status;
  };
  const Row rows[] = {
      {"the page itself", {"GET", "/", "127.0.0.1:8123", {}, "", "", ""}, 0},
      {"its script, by the other name", {"GET", "/app.js", "localhost:8123", {}, "", "", ""}, 0},
      {"the page under another Host", {"GET", "/", "rebound.example:8123", {}, "", "", ""}, 403},
      {"another port in the Host", {"GET", "/", "127.0.0.1:8124", {}, "", "", ""}, 403},
      {"a read with the token", {"GET", "/api/packs", "127.0.0.1:8123", {}, "same-origin", bearer, ""}, 0},
      {"a read without the token", {"GET", "/api/packs", "127.0.0.1:8123", {}, "", "", ""}, 403},
      {"a read with a token one digit off", {"GET", "/api/packs", "127.0.0.1:8123", {}, "", off_by_one, ""}, 403},
      {"a read with the token and more", {"GET", "/api/packs", "127.0.0.1:8123", {}, "", longer, ""}, 403},
      {"a read with the token in another scheme", {"GET", "/api/packs", "127.0.0.1:8123", {}, "", basic, ""}, 403},
      {"a read from another site", {"GET", "/api/packs", "127.0.0.1:8123", {}, "cross-site", bearer, ""}, 403},
      {"a read from another port", {"GET", "/api/packs", "127.0.0.1:8123", {}, "same-site", bearer, ""}, 403},
      {"a read naming another origin", {"GET", "/api/log", "127.0.0.1:8123", "http://127.0.0.1:9000", "", bearer, ""}, 403},
      {"an import from the page", {"POST", "/api/import", "127.0.0.1:8123", own, "same-origin", bearer, json}, 0},
      {"an import by the other name", {"POST", "/api/import", "localhost:8123", "http://localhost:8123", "", bearer,
                                       "Application/JSON; charset=utf-8"}, 0},
      {"a JSON type with blanks before its parameters", {"POST", "/api/export", "127.0.0.1:8123", own, "", bearer,
                                                         "application/json \t; charset=utf-8"}, 0},
      {"an import without the token", {"POST", "/api/import", "127.0.0.1:8123", own, "same-origin", "", json}, 403},
      {"a page's submission to the page", {"POST", "/", "127.0.0.1:8123", own, "same-origin", "", json}, 403},
      {"an import from another port", {"POST", "/api/import", "127.0.0.1:8123", "http://127.0.0.1:8124", "", bearer, json}, 403},
      {"an import over https", {"POST", "/api/import", "127.0.0.1:8123", "https://127.0.0.1:8123", "", bearer, json}, 403},
      {"an import from a null origin", {"POST", "/api/import", "127.0.0.1:8123", "null", "", bearer, json}, 403},
      {"an import with an empty origin", {"POST", "/api/import", "127.0.0.1:8123", "", "", bearer, json}, 403},
      {"an import without an origin", {"POST", "/api/import", "127.0.0.1:8123", {}, "", bearer, json}, 403},
      {"an import only said same-origin", {"POST", "/api/dry-run", "127.0.0.1:8123", {}, "same-origin", bearer, json}, 0},
      {"an import said same-site", {"POST", "/api/dry-run", "127.0.0.1:8123", own, "same-site", bearer, json}, 403},
      {"an import as plain text", {"POST", "/api/import", "127.0.0.1:8123", own, "", bearer, "text/plain"}, 415},
      {"an import as a form", {"POST", "/api/import", "127.0.0.1:8123", own, "", bearer,
                               "application/x-www-form-urlencoded"}, 415},
      {"an import in parts", {"POST", "/api/verify", "127.0.0.1:8123", own, "", bearer, "multipart/form-data; b=x"}, 415},
      {"an import of no type", {"POST", "/api/export", "127.0.0.1:8123", own, "", bearer, ""}, 415},
      {"an import of a JSON-like type", {"POST", "/api/export", "127.0.0.1:8123", own, "", bearer, "application/jsonx"}, 415},
  };
  for (const Row& row : rows) {
    const web::Refusal refusal = access.Check(row.request);
    EXPECT_EQ(refusal.status, row.status) << row.what << ": " << refusal.why;
    EXPECT_EQ(refusal.why.find(token), std::string::npos) << row.what;
  }
  // An address other than the loopback answers to its own name only.
  const Access bound(token, web::HostsFor("192.0.2.7", 80));
  EXPECT_EQ(bound.Check({"POST", "/api/import", "192.0.2.7:80", "http://192.0.2.7:80", "", bearer, json}).status, 0);
  EXPECT_EQ(bound.Check({"POST", "/api/import", "192.0.2.7:80", "http://127.0.0.1:80", "", bearer, json}).status, 403);
}

// A pack name from the page becomes a folder below the pack folder: only the
// name of a whole pack may, never a way out, nor an export still writing.
TEST(WebAccess, PackNamesAreOneWholePackFolder) {
  const struct {
    const char* name;
    bool taken;
  } rows[] = {
      {"30-ACC10-ACCX2-M", true},  {"30-ACC10-ACCX2-S", true}, {"", false},
      {".", false},                {"..", false},              {"../30-ACC10-ACCX2-M", false},
      {"a/b", false},              {"a\\b", false},            {"30\n-M", false},
      {".30-ACC10-ACCX2-M.tmp-Ab12Cd", false},
  };
  for (const auto& row : rows) EXPECT_EQ(web::PackNameProblem(row.name).empty(), row.taken) << row.name;
}

// The import job reports the run going on: a second start while one runs is
// refused, and a run started after another reports only its own progress.
TEST(WebImportJob, EachRunReportsItsOwnProgress) {
  using web::ImportJob;
  web::ImportJob job;
  std::promise<void> release;
  const std::shared_future<void> released = release.get_future().share();
  const auto await_end = [&job] {
    while (job.Running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  };
  ASSERT_TRUE(job.Start(true, [released](ImportJob& j) {
    j.Progress("Importing qzmap120...", 5, 10);
    j.Notice("Note: a notice of the first run");
    released.wait();
    return ImportJob::Outcome{true, {{"committed", false}}, "the run log"};
  }));
  EXPECT_FALSE(job.Start(false, [](ImportJob&) { return ImportJob::Outcome{}; }));
  job.Stop();  // the first run is asked to stop: the next starts afresh
  release.set_value();
  await_end();
  EXPECT_EQ(job.Status().at("notices"), web::Json::array({"Note: a notice of the first run"}));
  ASSERT_TRUE(job.Start(false, [](ImportJob& j) { return ImportJob::Outcome{!j.StopFlag(), {}, ""}; }));
  await_end();
  EXPECT_EQ(job.Status().dump(),
            R"({"state":"done","dry_run":false,"step":"","done":0,"total":0,"notices":[],"result":null})");
}

}  // namespace
}  // namespace kestrel::testing
