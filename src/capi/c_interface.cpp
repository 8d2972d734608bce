// The object functions of include/kestrel.h: each copies what the caller
// passed, runs the call inside one barrier that turns every exception into a
// status and the thread's last error (capi/barrier.h), and keeps the texts it
// hands out where the header says they stay valid.
#include "kestrel.h"

#include <fmt/format.h>

#include <deque>
#include <new>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/errors_ours.h"
#include "capi/barrier.h"
#include "capi/members.h"
#include "kestrel/create_object.h"
#include "kestrel/details.h"
#include "kestrel/store.h"

// What the host holds: the object and the texts handed out since the host's
// last call with it.
struct kestrel_object {
  Kestrel20ImpExp::CreatedObject created;
  std::deque<std::string> texts;
  std::deque<std::vector<kestrel_text>> lists;
};

namespace kestrel::capi {
namespace {

// The texts handed out by the functions without an object, per thread.
struct ThreadState {
  std::deque<std::string> texts;
  std::vector<kestrel_text> list;
};
thread_local ThreadState tls;

kestrel_object& Object(kestrel_object* o) {
  if (o == nullptr) RaiseRuntime(rt::ObjectNotSet);
  return *o;
}

// A new call with the object: what the last one handed out goes.
kestrel_object& Begin(kestrel_object& o) {
  o.texts.clear();
  o.lists.clear();
  return o;
}

kestrel_text Keep(kestrel_object& o, std::string s) { return View(o.texts.emplace_back(std::move(s))); }

const kestrel_text* KeepList(kestrel_object& o, const std::vector<std::string>& items) {
  auto& list = o.lists.emplace_back();
  for (const auto& item : items) list.push_back(Keep(o, item));
  return list.data();
}

// A new call without an object: what the thread was handed last goes.
ThreadState& BeginThread() {
  tls.texts.clear();
  tls.list.clear();
  return tls;
}

}  // namespace
}  // namespace kestrel::capi

using namespace kestrel::capi;

extern "C" {

int kestrel_create(const char* prog_id, kestrel_object** object) {
  return Guarded([&] {
    auto& out = Required(object);
    out = nullptr;
    auto created = std::make_unique<kestrel_object>();
    created->created = Kestrel20ImpExp::CreateObject(Name(prog_id));
    out = created.release();
  });
}

int kestrel_release(kestrel_object* object) {
  return Guarded([&] { delete object; });
}

int kestrel_put_text(kestrel_object* object, const char* name, const char* value, size_t length) {
  return Guarded([&] {
    std::string v = Bytes(value, length, Name(name));
    PutProperty(Begin(Object(object)).created, Name(name), Value(std::move(v)));
  });
}

int kestrel_put_number(kestrel_object* object, const char* name, int64_t value) {
  return Guarded([&] { PutProperty(Begin(Object(object)).created, Name(name), Value(value)); });
}

int kestrel_get_text(kestrel_object* object, const char* name, const char** value, size_t* length) {
  return Guarded([&] {
    auto& o = Begin(Object(object));
    const char*& out = Required(value);
    size_t& out_length = Required(length);
    const Value v = GetProperty(o.created, Name(name));
    if (!std::holds_alternative<std::string>(v)) kestrel::RaiseRuntime(kestrel::rt::TypeMismatch);
    const kestrel_text t = Keep(o, std::get<std::string>(v));
    out = t.bytes;
    out_length = t.length;
  });
}

int kestrel_get_number(kestrel_object* object, const char* name, int64_t* value) {
  return Guarded([&] {
    auto& o = Begin(Object(object));
    int64_t& out = Required(value);
    const Value v = GetProperty(o.created, Name(name));
    if (!std::holds_alternative<int64_t>(v)) kestrel::RaiseRuntime(kestrel::rt::TypeMismatch);
    out = std::get<int64_t>(v);
  });
}

int kestrel_set_store(kestrel_object* object, const char* location, size_t length) {
  return Guarded([&] {
    const std::string where = Bytes(location, length, "store");
    auto& o = Begin(Object(object));
    auto connection = kestrel::store::Open(where);
    if (o.created.Export)
      o.created.Export->putref_DataConnection(std::move(connection));
    else
      o.created.Import->putref_DataConnection(std::move(connection));
  });
}

int kestrel_call(kestrel_object* object, const char* name, kestrel_arg* args, size_t count, int* result) {
  return Guarded([&] {
    auto& o = Object(object);
    int& out = Required(result);
    const auto& uses = MethodSignature(o.created, Name(name));
    if (count != 0) Required(args);
    // Copied before the object lets go of what it handed out: a host may pass
    // back a text it was given.
    std::vector<Argument> in(count);
    for (size_t i = 0; i < count && i < uses.size(); ++i) {
      in[i].text = Bytes(args[i].text.bytes, args[i].text.length, fmt::format("{} argument {}", name, i + 1));
      in[i].number = args[i].number;
    }
    Begin(o);
    out = CallMethod(o.created, name, in) ? 1 : 0;
    for (size_t i = 0; i < count; ++i) {
      switch (uses[i]) {
        case ArgumentUse::Text: break;
        case ArgumentUse::TextRef: args[i].text = Keep(o, std::move(in[i].text)); break;
        case ArgumentUse::NumberRef: args[i].number = in[i].number; break;
        case ArgumentUse::ListRef:
          args[i].items = KeepList(o, in[i].items);
          args[i].count = in[i].items.size();
          break;
      }
    }
  });
}

int kestrel_last_error(int32_t* number, const char** text, size_t* length) {
  return Guarded([&] {
    const kestrel::Error& e = LastError();
    Required(number) = e.number();
    Required(text) = e.text().c_str();
    Required(length) = e.text().size();
  });
}

int kestrel_details_entries(const char* details, size_t length, int list, const kestrel_text** fields,
                            size_t* count) {
  return Guarded([&] {
    const std::string text = Bytes(details, length, "details");
    const kestrel_text*& out = Required(fields);
    size_t& out_count = Required(count);
    if (list != KESTREL_SOURCES && list != KESTREL_TARGETS) kestrel::RaiseRuntime(kestrel::rt::InvalidProcedureCall);
    ThreadState& t = BeginThread();
    const kestrel::DetailsView view = kestrel::ParseDetails(text);
    const auto& entries = list == KESTREL_SOURCES ? view.sources : view.targets;
    for (const auto& entry : entries)
      for (const auto& field : entry) t.list.push_back(View(t.texts.emplace_back(field)));
    out = t.list.data();
    out_count = entries.size();
  });
}

int kestrel_details_with_targets(const char* proposal, size_t length, const kestrel_text* targets, size_t count,
                                 const char** details, size_t* details_length) {
  return Guarded([&] {
    const std::string text = Bytes(proposal, length, "proposal");
    if (count != 0) Required(targets);
    std::vector<std::string> entries;
    for (size_t i = 0; i < count; ++i) {
      // Entries edited from a proposal carry its markers, which are output.
      std::string entry =
          kestrel::UnmarkedEntry(Bytes(targets[i].bytes, targets[i].length, fmt::format("target entry {}", i + 1)));
      if (std::string problem = kestrel::TargetEntryProblem(entry); !problem.empty())
        kestrel::RaiseWithDetail(kestrel::Ours::InvalidSelection, problem);
      entries.push_back(std::move(entry));
    }
    const char*& out = Required(details);
    size_t& out_length = Required(details_length);
    ThreadState& t = BeginThread();
    const kestrel_text result = View(t.texts.emplace_back(kestrel::DetailsWithTargets(text, entries)));
    out = result.bytes;
    out_length = result.length;
  });
}

int kestrel_messages(const char* messages, size_t length, const kestrel_text** items, size_t* count) {
  return Guarded([&] {
    const std::string text = Bytes(messages, length, "messages");
    const kestrel_text*& out = Required(items);
    size_t& out_count = Required(count);
    ThreadState& t = BeginThread();
    for (auto& m : kestrel::SplitMessages(text)) t.list.push_back(View(t.texts.emplace_back(std::move(m))));
    out = t.list.data();
    out_count = t.list.size();
  });
}

}  // extern "C"
