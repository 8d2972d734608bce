/* The typed calls of the C interface from a C program: the demo chain
 * exported, read, proposed for a second store, verified with a selection
 * that fails at a known entry, checked, imported renumbered, refused when it
 * would replace, and a damaged pack refused at its file and line; and the
 * requests a host gets wrong, each refused naming its field. */
#define _POSIX_C_SOURCE 200809L

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "capi_checks.h"
#include "kestrel.h"

static kestrel_text text_of(const char* s) {
  kestrel_text t = {s, strlen(s)};
  return t;
}

/* The last failure's number, and its text and place holding what is wanted
 * (NULL: anything). */
static void expect_error(int status, int32_t want, const char* text_part, const char* file, int64_t entry,
                         const char* what) {
  kestrel_error e;
  memset(&e, 0xff, sizeof e);
  expect_status(kestrel_get_error(&e), 0, "get error");
  char copy[1024];
  snprintf(copy, sizeof copy, "%.*s", (int)e.text.length, e.text.bytes);
  if (status != want || e.number != want || (text_part && !strstr(copy, text_part)) ||
      (file && !same(e.place.file.bytes, e.place.file.length, file)) || (file && e.place.line < 1) ||
      e.place.entry != entry) {
    fprintf(stderr, "%s: status %d, error %d \"%s\" at file \"%.*s\" line %lld entry %lld; wanted %d \"%s\" at %s entry %lld\n",
            what, status, (int)e.number, copy, (int)e.place.file.length, e.place.file.bytes, (long long)e.place.line,
            (long long)e.place.entry, (int)want, text_part ? text_part : "", file ? file : "-", (long long)entry);
    ++failures;
  }
}

/* Which target of a list is pack profile `number` (-1: none). */
static long index_of(const kestrel_target* targets, size_t count, int32_t number) {
  for (size_t i = 0; i < count; ++i)
    if (targets[i].profile == number) return (long)i;
  return -1;
}

/* Opening a store, and the requests a host gets wrong: each refused with its
 * number, naming the field. */
static void check_typed_refusals(kestrel_store* demo, const char* dir, const char* store, const char* pack) {
  char missing[256], with_nul[256];
  snprintf(missing, sizeof missing, "%s/none.db", dir);
  const int n = snprintf(with_nul, sizeof with_nul, "%s%c/etc/passwd", store, 0);
  kestrel_store* s = (kestrel_store*)&s; /* cleared by every open that fails */
  expect_error(kestrel_store_open(missing, strlen(missing), 30, &s), 53, NULL, NULL, -1, "open a missing store");
  CHECK(s == NULL);
  expect_error(kestrel_store_open(with_nul, (size_t)n, 30, &s), 9070, "store", NULL, -1, "open a store with a NUL");
  expect_error(kestrel_store_open(store, strlen(store), -1, &s), 5, "wait_seconds takes 0 to 2147483647", NULL, -1,
               "a negative wait");
  expect_error(kestrel_store_open(store, strlen(store), 30, NULL), 5, NULL, NULL, -1, "open without an out pointer");

  const struct {
    const char* what;
    int32_t profile, new_number, based_on;
    uint32_t size;
    const char* root; /* NULL: the root with a NUL */
    int32_t want;
    const char* named;
  } exports[] = {
      {"profile 0", 0, 0, 0, sizeof(kestrel_export_request), dir, 5, "profile takes 1 to 32767, not 0"},
      {"profile beyond 16 bits", 40000, 0, 0, sizeof(kestrel_export_request), dir, 5, "profile takes 1 to 32767"},
      {"negative new number", 30, -1, 0, sizeof(kestrel_export_request), dir, 5, "new_number takes 0 to 32767"},
      {"based on beyond 16 bits", 30, 0, 32768, sizeof(kestrel_export_request), dir, 5, "based_on"},
      {"a request of no size", 30, 0, 0, 0, dir, 5, "export request size"},
      {"a root with a NUL", 30, 0, 0, sizeof(kestrel_export_request), NULL, 9070, "root"},
      {"a profile the store lacks", 77, 0, 0, sizeof(kestrel_export_request), dir, 2, "77"},
  };
  for (size_t i = 0; i < sizeof exports / sizeof exports[0]; ++i) {
    kestrel_export_request rq = KESTREL_EXPORT_REQUEST_INIT;
    rq.size = exports[i].size;
    rq.profile = exports[i].profile;
    rq.new_number = exports[i].new_number;
    rq.based_on = exports[i].based_on;
    rq.root = exports[i].root ? text_of(exports[i].root) : (kestrel_text){"/tmp\0/etc", 9};
    kestrel_export_report* report = (kestrel_export_report*)&report;
    expect_error(kestrel_export(demo, &rq, &report), exports[i].want, exports[i].named, NULL, -1, exports[i].what);
    CHECK(report == NULL);
  }
  kestrel_export_report* report = NULL;
  expect_error(kestrel_export(NULL, NULL, &report), 91, NULL, NULL, -1, "export without a store");
  expect_error(kestrel_export(demo, NULL, &report), 5, NULL, NULL, -1, "export without a request");

  kestrel_pack_info* info = NULL;
  expect_error(kestrel_read_pack(pack, strlen(pack), 2, &info), 5, "flags", NULL, -1, "an unknown flag");
  snprintf(missing, sizeof missing, "%s/no-such-pack", dir);
  expect_error(kestrel_read_pack(missing, strlen(missing), 0, &info), 76, NULL, NULL, -1, "a pack folder not there");

  const kestrel_renumber twice[] = {{30, 930}, {30, 931}};
  const kestrel_renumber to_zero[] = {{30, 0}};
  const kestrel_target nul_target = {30, 20, {"ACC10", 5}, {"ACCX2\0", 6}, {"0", 1}, {"1", 1}, 0, 0};
  const struct {
    const char* what;
    const kestrel_renumber* renumber;
    size_t renumber_count;
    const kestrel_target* targets;
    size_t target_count;
    int32_t replace, wait;
    const char* user;
    size_t user_length;
    int32_t want;
    const char* named;
  } imports[] = {
      {"a profile renumbered twice", twice, 2, NULL, 0, 0, 30, "", 0, 5, "renumber 2 from: profile 30 is renumbered twice"},
      {"a profile renumbered to 0", to_zero, 1, NULL, 0, 0, 30, "", 0, 5, "renumber 1 to takes 1 to 32767, not 0"},
      {"renumbering pairs missing", NULL, 1, NULL, 0, 0, 30, "", 0, 5, NULL},
      {"a target application with a NUL", NULL, 0, &nul_target, 1, 0, 30, "", 0, 9070, "target 1 target_application"},
      {"an unknown replace policy", NULL, 0, NULL, 0, 2, 30, "", 0, 5, "replace takes 0 to 1, not 2"},
      {"a negative wait", NULL, 0, NULL, 0, 0, -5, "", 0, 5, "wait_seconds"},
      {"a user with a NUL", NULL, 0, NULL, 0, 0, 30, "kestrel\0admin", 13, 9070, "user"},
  };
  for (size_t i = 0; i < sizeof imports / sizeof imports[0]; ++i) {
    kestrel_import_request rq = KESTREL_IMPORT_REQUEST_INIT;
    rq.pack = text_of(pack);
    rq.renumber = imports[i].renumber;
    rq.renumber_count = imports[i].renumber_count;
    rq.targets = imports[i].targets;
    rq.target_count = imports[i].target_count;
    rq.replace = imports[i].replace;
    rq.wait_seconds = imports[i].wait;
    rq.user.bytes = imports[i].user;
    rq.user.length = imports[i].user_length;
    /* Refused alike by every call that takes the request, before it reads the pack. */
    kestrel_findings* findings = (kestrel_findings*)&findings;
    expect_error(kestrel_verify(demo, &rq, &findings), imports[i].want, imports[i].named, NULL, -1, imports[i].what);
    CHECK(findings == NULL);
    expect_error(kestrel_check(demo, &rq), imports[i].want, imports[i].named, NULL, -1, imports[i].what);
    kestrel_import_report* done = (kestrel_import_report*)&done;
    expect_error(kestrel_import(demo, &rq, &done), imports[i].want, imports[i].named, NULL, -1, imports[i].what);
    CHECK(done == NULL);
  }
}

/* A selection the verification refuses: each finding names its entry. */
static void check_typed_verify(kestrel_store* s, const char* pack, const kestrel_targets* proposal) {
  const long grandchild = index_of(proposal->targets, proposal->count, 30);
  const long child = index_of(proposal->targets, proposal->count, 20);
  CHECK(grandchild >= 0 && child >= 0);
  if (grandchild < 0 || child < 0 || proposal->count > 8) return;
  const struct {
    const char* what;
    long entry;             /* the target changed */
    int32_t profile, parent;
    int32_t want;           /* the finding's number, 0: none */
  } rows[] = {
      {"the grandchild numbered as its parent", grandchild, 20, 20, 501},
      {"a profile beyond 16 bits", grandchild, 70000, 20, 6},
      {"the child below its own child", child, 20, 30, 502},
      {"a free number", grandchild, 930, 20, 0},
  };
  for (size_t r = 0; r < sizeof rows / sizeof rows[0]; ++r) {
    kestrel_target targets[8];
    memcpy(targets, proposal->targets, proposal->count * sizeof targets[0]);
    targets[rows[r].entry].profile = rows[r].profile;
    targets[rows[r].entry].parent = rows[r].parent;
    kestrel_import_request rq = KESTREL_IMPORT_REQUEST_INIT;
    rq.pack = text_of(pack);
    rq.targets = targets;
    rq.target_count = proposal->count;
    kestrel_findings* findings = NULL;
    expect_status(kestrel_verify(s, &rq, &findings), 0, rows[r].what);
    if (!findings) continue;
    int found = 0;
    for (size_t i = 0; i < findings->count; ++i)
      if (findings->findings[i].number == rows[r].want && findings->findings[i].place.entry == rows[r].entry &&
          findings->findings[i].text.length > 0)
        found = 1;
    if (rows[r].want ? !found : findings->count != 0) {
      fprintf(stderr, "%s: %zu finding(s), wanted %d at entry %ld\n", rows[r].what, findings->count, (int)rows[r].want,
              rows[r].entry);
      for (size_t i = 0; i < findings->count; ++i)
        fprintf(stderr, "  %d entry %lld: %.*s\n", (int)findings->findings[i].number,
                (long long)findings->findings[i].place.entry, (int)findings->findings[i].text.length,
                findings->findings[i].text.bytes);
      ++failures;
    }
    /* The import verifies the same: it refuses at the first finding's entry, changing nothing. */
    if (findings->count) {
      kestrel_import_report* done = NULL;
      const int status = kestrel_import(s, &rq, &done);
      kestrel_error e;
      kestrel_get_error(&e);
      if (status == 0 || e.number != status || e.place.entry != findings->findings[0].place.entry) {
        fprintf(stderr, "%s: import status %d, entry %lld\n", rows[r].what, status, (long long)e.place.entry);
        ++failures;
      }
      kestrel_import_report_free(done);
    }
    expect_status(kestrel_findings_free(findings), 0, "free findings");
  }
}

/* A rule of a profile the pack does not hold, in a copy without sums: the
 * check names the file and line it refused. */
static void check_typed_refused_at(kestrel_store* s, const char* dir, const char* pack) {
  char copy[512], file[600], command[1400];
  snprintf(copy, sizeof copy, "%s/damaged", dir);
  snprintf(command, sizeof command, "cp -r '%s' '%s' && rm '%s/ExportMR.sums'", pack, copy, copy);
  run(command);
  snprintf(file, sizeof file, "%s/Qzmap120.dat", copy);
  FILE* f = fopen(file, "r+b");
  CHECK(f != NULL);
  if (!f) return;
  static char data[1 << 16];
  const size_t size = fread(data, 1, sizeof data, f);
  const char* at = NULL;
  for (size_t i = 0; i + 10 <= size && !at; ++i)
    if (memcmp(data + i, ":MPRF:30\r\n", 10) == 0) at = data + i;
  CHECK(at != NULL);
  if (at) {
    fseek(f, (long)(at - data), SEEK_SET);
    fwrite(":MPRF:99", 1, 8, f);
  }
  fclose(f);
  kestrel_import_request rq = KESTREL_IMPORT_REQUEST_INIT;
  rq.pack = text_of(copy);
  expect_error(kestrel_check(s, &rq), 9053, "ExportMR.sums", NULL, -1, "a pack without sums");
  rq.allow_without_sums = 1;
  expect_error(kestrel_check(s, &rq), 9045, "profile 99", "Qzmap120.dat", -1, "a rule of another profile");
  /* Rolled back anyway, the import replaces what the store holds without consent. */
  rq.dry_run = 1;
  kestrel_import_report* done = NULL;
  expect_error(kestrel_import(s, &rq, &done), 9045, "profile 99", "Qzmap120.dat", -1, "importing it");
}

/* The demo store's profiles and counts as the list and counts commands
 * show them: the chain 10 > 20 > 30, each with its rules by table. */
static void check_typed_store_contents(kestrel_store* demo) {
  kestrel_stored_profiles* profiles = NULL;
  expect_status(kestrel_store_profiles(demo, &profiles), 0, "profiles");
  if (profiles) {
    CHECK(profiles->size == sizeof(kestrel_stored_profiles) && profiles->count == 3);
    const struct { int32_t number, parent, depth; const char* version; int64_t qzmap120; } chain[] = {
        {10, 0, 1, "X40", 11}, {20, 10, 2, "X41U", 7}, {30, 20, 3, "X42U", 6}};
    for (size_t i = 0; i < profiles->count && i < 3; ++i) {
      const kestrel_stored_profile* p = &profiles->profiles[i];
      int64_t rules = -1;
      for (size_t k = 0; k < p->rule_count; ++k)
        if (same(p->rules[k].name.bytes, p->rules[k].name.length, "qzmap120")) rules = p->rules[k].rows;
      if (p->number != chain[i].number || p->parent != chain[i].parent || p->depth != chain[i].depth ||
          !same(p->version.bytes, p->version.length, chain[i].version) || rules != chain[i].qzmap120 ||
          !same(p->source_application.bytes, p->source_application.length, "ACC10") || p->rule_count != 11) {
        fprintf(stderr, "profiles: entry %zu is %d below %d at depth %d, %lld rows of qzmap120\n", i, (int)p->number,
                (int)p->parent, (int)p->depth, (long long)rules);
        ++failures;
      }
    }
  }
  expect_status(kestrel_stored_profiles_free(profiles), 0, "free the profiles");
  expect_status(kestrel_counts_free((kestrel_counts*)profiles), 5, "free the profiles again, as counts");

  kestrel_counts* counts = NULL;
  expect_status(kestrel_store_counts(demo, &counts), 0, "counts");
  if (counts) {
    CHECK(counts->count > 20 && same(counts->tables[0].name.bytes, counts->tables[0].name.length, "qzmap100"));
    CHECK(counts->tables[0].rows == 3);
  }
  expect_status(kestrel_counts_free(counts), 0, "free the counts");
  expect_error(kestrel_store_profiles(NULL, &profiles), 91, NULL, NULL, -1, "profiles without a store");
  expect_error(kestrel_store_counts(demo, NULL), 5, NULL, NULL, -1, "counts without an out pointer");
}

/* What an import of the request would replace, as one text each. */
static void expect_would_replace(kestrel_store* s, const kestrel_import_request* rq, const char* const* want,
                                 size_t count, const char* what) {
  kestrel_texts* replaced = NULL;
  expect_status(kestrel_would_replace(s, rq, &replaced), 0, what);
  if (!replaced) return;
  int differs = replaced->count != count;
  for (size_t i = 0; i < replaced->count && !differs; ++i)
    differs = !same(replaced->items[i].bytes, replaced->items[i].length, want[i]);
  if (differs) {
    fprintf(stderr, "%s: would replace", what);
    for (size_t i = 0; i < replaced->count; ++i)
      fprintf(stderr, " \"%.*s\"", (int)replaced->items[i].length, replaced->items[i].bytes);
    fprintf(stderr, "; wanted %zu\n", count);
    ++failures;
  }
  expect_status(kestrel_texts_free(replaced), 0, "free the texts");
}

/* The demo chain exported, read, proposed for the second store, verified,
 * imported renumbered, and refused when imported again. */
void check_typed(const char* dir, const char* store, const char* second, const char* registry) {
  kestrel_store *demo = NULL, *s = NULL;
  expect_status(kestrel_store_open(store, strlen(store), 30, &demo), 0, "open the demo store");
  expect_status(kestrel_store_open(second, strlen(second), 5, &s), 0, "open the second store");
  if (!demo || !s) return;
  check_typed_store_contents(demo);
  char root[256], command[600];
  snprintf(root, sizeof root, "%s/typed", dir);
  snprintf(command, sizeof command, "mkdir '%s'", root);
  run(command);
  kestrel_export_request ex = KESTREL_EXPORT_REQUEST_INIT;
  ex.profile = 30;
  ex.revisions = 1;
  ex.root = text_of(root);
  kestrel_export_report* exported = NULL;
  expect_status(kestrel_export(demo, &ex, &exported), 0, "typed export");
  if (!exported) return;
  char pack[512];
  snprintf(pack, sizeof pack, "%.*s", (int)exported->folder.length, exported->folder.bytes);
  CHECK(strncmp(pack, root, strlen(root)) == 0 && strstr(pack, "/ExportedRules/30-") != NULL);
  CHECK(exported->size == sizeof(kestrel_export_report) && exported->revisions == 1);
  CHECK(exported->file_count > 10 && exported->application_count == 2);
  /* The same export again is refused without overwrite. */
  kestrel_export_report* again = NULL;
  expect_error(kestrel_export(demo, &ex, &again), 3, "Already Exported", NULL, -1, "the same export again");

  kestrel_pack_info* info = NULL;
  expect_status(kestrel_read_pack(pack, strlen(pack), 0, &info), 0, "read the pack");
  if (info) {
    CHECK(info->export_succeeded == 1 && info->revisions == 1 && info->has_sums == 1 && info->profile_count == 3);
    CHECK(info->missing_file_count == 0 && info->application_count == 2);
    /* The grandchild, its parent and the root, each with its place and VRC. */
    const struct { int32_t number, parent, depth; } chain[] = {{30, 20, 3}, {20, 10, 2}, {10, 0, 1}};
    for (size_t c = 0; c < 3; ++c) {
      int found = 0;
      for (size_t i = 0; i < info->profile_count; ++i) {
        const kestrel_pack_profile* p = &info->profiles[i];
        if (p->number == chain[c].number && p->parent == chain[c].parent && p->depth == chain[c].depth &&
            same(p->source_application.bytes, p->source_application.length, "ACC10") && p->version.length > 0)
          found = 1;
      }
      if (!found) {
        fprintf(stderr, "read pack: no profile %d below %d at depth %d\n", (int)chain[c].number, (int)chain[c].parent,
                (int)chain[c].depth);
        ++failures;
      }
    }
    /* Every file the export wrote, read back with the rows it wrote and its sum. */
    size_t listed = 0;
    for (size_t i = 0; i < info->file_count; ++i) {
      const kestrel_pack_file* f = &info->files[i];
      for (size_t k = 0; k < exported->file_count; ++k)
        if (f->name.length == exported->files[k].length &&
            memcmp(f->name.bytes, exported->files[k].bytes, f->name.length) == 0 && f->sum == KESTREL_SUM_MATCHES &&
            f->rows > 0)
          ++listed;
      for (size_t k = 0; k < exported->row_count; ++k)
        if (f->name.length == exported->rows[k].name.length &&
            memcmp(f->name.bytes, exported->rows[k].name.bytes, f->name.length) == 0)
          CHECK(f->rows == exported->rows[k].rows);
      if (same(f->name.bytes, f->name.length, "Qzmap120.dat")) CHECK(same(f->kind.bytes, f->kind.length, "rules"));
      if (same(f->name.bytes, f->name.length, "ExportMR.sums")) CHECK(f->rows == -1 && f->sum == KESTREL_SUM_UNLISTED);
    }
    CHECK(listed == exported->file_count);
  }
  /* Freed once; a second time, or as another type, it is no result. */
  expect_status(kestrel_pack_info_free(info), 0, "free the pack info");
  expect_status(kestrel_pack_info_free(info), 5, "free the pack info twice");
  expect_status(kestrel_targets_free((kestrel_targets*)exported), 5, "free a report as targets");
  expect_status(kestrel_pack_info_free(NULL), 0, "free nothing");

  kestrel_targets* proposal = NULL;
  expect_status(kestrel_propose(s, pack, strlen(pack), 0, &proposal), 0, "propose");
  if (proposal) {
    CHECK(proposal->count == 3);
    for (size_t i = 0; i < proposal->count; ++i)
      CHECK((proposal->targets[i].stored & KESTREL_STORED_PROFILE) == 0 &&
            same(proposal->targets[i].target_application.bytes, proposal->targets[i].target_application.length, "ACCX2"));
    check_typed_verify(s, pack, proposal);
  }

  /* Imported with the grandchild renumbered, by the user given in bytes. */
  const kestrel_renumber renumber[] = {{30, 930}};
  const char user[] = {'m', '\xfc', 'l', 'l', 'e', 'r'};
  kestrel_import_request rq = KESTREL_IMPORT_REQUEST_INIT;
  rq.pack = text_of(pack);
  rq.renumber = renumber;
  rq.renumber_count = 1;
  rq.user.bytes = user;
  rq.user.length = sizeof user;
  rq.registry = text_of(registry);
  expect_status(kestrel_check(s, &rq), 0, "check the renumbered import");
  expect_would_replace(s, &rq, NULL, 0, "nothing to replace in an empty store");
  kestrel_import_report* done = NULL;
  rq.dry_run = 1;
  expect_status(kestrel_import(s, &rq, &done), 0, "dry run");
  CHECK(done && done->dry_run == 1 && done->committed == 0);
  kestrel_import_report_free(done);
  rq.dry_run = 0;
  expect_status(kestrel_import(s, &rq, &done), 0, "import renumbered");
  if (done) {
    CHECK(done->committed == 1 && done->dry_run == 0 && done->target_count == 3 && done->source_count == 3);
    CHECK(index_of(done->targets, done->target_count, 930) >= 0 && index_of(done->targets, done->target_count, 30) < 0);
    CHECK(done->profiles_replaced_count == 0 && done->run_log.length > 0);
    int64_t headers = -1;
    for (size_t i = 0; i < done->row_count; ++i)
      if (same(done->rows[i].table.bytes, done->rows[i].table.length, "qzmap100")) headers = done->rows[i].added;
    CHECK(headers == 3);
    expect_status(kestrel_import_report_free(done), 0, "free the import report");
  }
  /* Again, the store now holds them: refused unless replacing is allowed. */
  done = NULL;
  expect_error(kestrel_import(s, &rq, &done), 9030, "profile 930", NULL, -1, "import over stored profiles");
  const char* const stored[] = {"profile 10", "profile 20", "profile 930", "application ACC10", "application ACCX2"};
  expect_would_replace(s, &rq, stored, 5, "what importing it again would replace");
  rq.replace = KESTREL_REPLACE;
  rq.dry_run = 1;
  expect_status(kestrel_import(s, &rq, &done), 0, "replace, dry run");
  if (done) {
    CHECK(done->profiles_replaced_count == 3 && done->committed == 0);
    kestrel_import_report_free(done);
  }

  check_typed_refused_at(s, dir, pack);
  check_typed_refusals(demo, dir, store, pack);
  kestrel_targets_free(proposal);
  expect_status(kestrel_export_report_free(exported), 0, "free the export report");
  expect_status(kestrel_store_close(s), 0, "close");
  expect_status(kestrel_store_close(demo), 0, "close the demo store");
  expect_status(kestrel_store_close(NULL), 0, "close nothing");
}
