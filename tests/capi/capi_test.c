/* The C interface from a C program: every function of kestrel.h once on the
 * demo chain (export, the pack's details, an edited selection verified, the
 * by-reference numbers and list; the typed calls in capi_typed.c), and the
 * statuses of the calls a host gets wrong. Run by ctest with the kestrel program as its argument, which makes
 * the stores and the installation; exits 1 naming every check that failed. */
#define _POSIX_C_SOURCE 200809L

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "capi_checks.h"
#include "kestrel.h"

int failures = 0;

void expect_status(int got, int want, const char* what) {
  if (got == want) return;
  int32_t number = 0;
  const char* text = NULL;
  size_t length = 0;
  kestrel_last_error(&number, &text, &length);
  fprintf(stderr, "%s: status %d, wanted %d (last error %d: %.*s)\n", what, got, want, (int)number, (int)length, text);
  ++failures;
}

int same(const char* bytes, size_t length, const char* want) {
  return length == strlen(want) && memcmp(bytes, want, length) == 0;
}

void run(const char* command) {
  if (system(command) != 0) {
    fprintf(stderr, "could not run: %s\n", command);
    exit(1);
  }
}

/* The last error's text holds `want`. */
static void expect_error_text(const char* want, const char* what) {
  int32_t number = 0;
  const char* text = NULL;
  size_t length = 0;
  kestrel_last_error(&number, &text, &length);
  char copy[1024];
  snprintf(copy, sizeof copy, "%.*s", (int)length, text);
  if (strstr(copy, want) != NULL) return;
  fprintf(stderr, "%s: last error \"%s\" does not hold \"%s\"\n", what, copy, want);
  ++failures;
}

/* A NUL inside any text a host passes in would cut a path, a location or a
 * user short where it is handed on: each is refused with 9070, naming it. */
static void check_nul_refusals(kestrel_object* ex, kestrel_object* im, const char* store) {
  char real_store[256];
  /* What a C string would read as the real store, with more after the NUL. */
  int n = snprintf(real_store, sizeof real_store, "%s%c/etc/passwd", store, 0);
  static const char path[] = "/srv/packs\0/etc";
  static const char user[] = "kestrel\0admin";
  expect_status(kestrel_set_store(im, real_store, (size_t)n), 9070, "a store with a NUL");
  expect_error_text(": store", "a store with a NUL");
  const struct {
    kestrel_object* object;
    const char* property;
    const char* bytes;
    size_t length;
  } texts[] = {
      {ex, "Path", path, sizeof path - 1},
      {ex, "TreskDataPath", path, sizeof path - 1},
      {ex, "ExportBasedOn", "10\0", 3},
      {im, "Path", path, sizeof path - 1},
      {im, "LastModifiedUser", user, sizeof user - 1},
      {im, "DatabaseName", real_store, (size_t)n},
      {im, "DatabasePassword", user, sizeof user - 1},
  };
  for (size_t i = 0; i < sizeof texts / sizeof texts[0]; ++i) {
    expect_status(kestrel_put_text(texts[i].object, texts[i].property, texts[i].bytes, texts[i].length), 9070,
                  texts[i].property);
    expect_error_text(texts[i].property, texts[i].property);
  }
  /* The texts of a method, and of the details helpers. */
  kestrel_arg args[3];
  memset(args, 0, sizeof args);
  args[0].text.bytes = "10|ACC10|ACCX2|0|0|1\0\r10|ACC10|ACCX2|0|0|1";
  args[0].text.length = 42;
  int ok = -1;
  expect_status(kestrel_call(im, "VerifyUserSelections", args, 3, &ok), 9070, "details with a NUL");
  expect_error_text("VerifyUserSelections argument 1", "details with a NUL");
  const kestrel_text* fields = NULL;
  size_t count = 0;
  expect_status(kestrel_details_entries(args[0].text.bytes, 42, KESTREL_SOURCES, &fields, &count), 9070,
                "details entries with a NUL");
  /* A host's own list: a short entry's missing fields are empty, a long one's seventh is dropped. */
  expect_status(kestrel_details_entries("10|ACC10\x01" "1|2|3|4|5|6|7\r", 23, KESTREL_SOURCES, &fields, &count), 0,
                "a host's entries");
  CHECK(count == 2 && fields[1].length == 5 && fields[2].length == 0 && fields[11].length == 1 &&
        fields[11].bytes[0] == '6');
  kestrel_text entry = {"930|ACC10|ACCX2|0\0|0|1", 22};
  const char* details = NULL;
  expect_status(kestrel_details_with_targets("a\rb", 3, &entry, 1, &details, &count), 9070, "a target with a NUL");
  expect_error_text("target entry 1", "a target with a NUL");
  const kestrel_text with_cr = {"930|ACC10|ACCX2|0|0|1\r", 22};
  expect_status(kestrel_details_with_targets("a\rb", 3, &with_cr, 1, &details, &count), 9012, "a target with a CR");
  expect_error_text("character 1 or a carriage return", "a target with a CR");
  /* The object keeps what it had: the user put before is still there. */
  const char* text = NULL;
  size_t length = 0;
  expect_status(kestrel_get_text(im, "LastModifiedUser", &text, &length), 0, "user after the refusal");
  CHECK(length == 6 && memcmp(text, "m\xfcller", 6) == 0);
}

/* Every number of the interface against what the command line takes: 5
 * within the type but outside the range, 6 beyond the type, 0 taken; the
 * refusal names the number. */
static void check_number_ranges(kestrel_object* ex, kestrel_object* im) {
  static const int64_t values[] = {INT64_MAX, INT64_MIN, 70000, -1, 0, 32767, 32768};
  enum { VALUES = sizeof values / sizeof values[0] };
  const struct {
    kestrel_object* object;
    const char* name;   /* a property, or a method */
    size_t argument;    /* the method's argument (1 up), 0 for a property */
    size_t arguments;
    const char* named;  /* how the refusal names it */
    int want[VALUES];
  } rows[] = {
      {ex, "MigrationProfileTobeExported", 0, 0, "MigrationProfileTobeExported", {6, 6, 6, 5, 5, 0, 6}},
      {ex, "NewProfileNumber", 0, 0, "NewProfileNumber", {6, 6, 6, 5, 0, 0, 6}},
      {ex, "ExportBasedOn", 0, 0, "ExportBasedOn", {6, 6, 6, 5, 0, 0, 6}},
      {ex, "OverWrite", 0, 0, "", {0, 0, 0, 0, 0, 0, 0}},
      {im, "LockWait", 0, 0, "LockWait", {6, 6, 0, 5, 0, 0, 0}},
      {im, "GetDepthOfProfile", 1, 3, "GetDepthOfProfile argument 1", {6, 6, 5, 5, 0, 0, 5}},
      {im, "GetDepthOfProfile", 2, 3, "GetDepthOfProfile argument 2", {6, 6, 5, 5, 0, 0, 5}},
      {im, "GetDevelopmentVRC", 1, 2, "GetDevelopmentVRC argument 1", {6, 6, 5, 5, 5, 0, 5}},
  };
  for (size_t r = 0; r < sizeof rows / sizeof rows[0]; ++r) {
    for (size_t v = 0; v < VALUES; ++v) {
      char what[160];
      snprintf(what, sizeof what, "%s (argument %zu) = %lld", rows[r].name, rows[r].argument, (long long)values[v]);
      int status;
      if (rows[r].argument == 0) {
        status = kestrel_put_number(rows[r].object, rows[r].name, values[v]);
      } else {
        kestrel_arg args[3];
        memset(args, 0, sizeof args);
        args[rows[r].argument - 1].number = values[v];
        int ok = -1;
        status = kestrel_call(rows[r].object, rows[r].name, args, rows[r].arguments, &ok);
      }
      expect_status(status, rows[r].want[v], what);
      if (rows[r].want[v] != 0) expect_error_text(rows[r].named, what);
    }
  }
}

/* Every method of an import run before its store was set fails, and says
 * so in its status or ErrorNumber; the import with 91, as the run time says
 * for an object not set. */
static void check_without_store(const char* pack, const char* selection, size_t selection_length) {
  kestrel_object* im = NULL;
  expect_status(kestrel_create("Kestrel20ImpExp.clsImport", &im), 0, "create clsImport without a store");
  expect_status(kestrel_put_text(im, "Path", pack, strlen(pack)), 0, "pack without a store");
  const struct {
    const char* method;
    size_t arguments;
  } rows[] = {{"ImportLogicPack", 2}, {"CheckLogicPack", 2}, {"VerifyUserSelections", 3}, {"GetDepthOfProfile", 3},
              {"LoadToMAP150", 0}};
  for (size_t r = 0; r < sizeof rows / sizeof rows[0]; ++r) {
    kestrel_arg args[3];
    memset(args, 0, sizeof args);
    args[0].text.bytes = selection;
    args[0].text.length = selection_length;
    args[1].number = 10;
    int ok = -1;
    const int status = kestrel_call(im, rows[r].method, args, rows[r].arguments, &ok);
    int64_t number = 0;
    expect_status(kestrel_get_number(im, "ErrorNumber", &number), 0, rows[r].method);
    const int want = strcmp(rows[r].method, "ImportLogicPack") == 0 ? 91 : 0;
    if (status == 0 && !(ok == 0 && number != 0 && (want == 0 || number == want))) {
      fprintf(stderr, "%s without a store: status %d, result %d, ErrorNumber %lld\n", rows[r].method, status, ok,
              (long long)number);
      ++failures;
    }
  }
  expect_status(kestrel_release(im), 0, "release clsImport without a store");
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: capi_test KESTREL_PROGRAM\n");
    return 2;
  }
  char dir[] = "/tmp/kestrel-capi-XXXXXX";
  if (!mkdtemp(dir)) return 1;
  char command[8192], store[128], second[128], registry[128], root[128];
  snprintf(store, sizeof store, "%s/demo.db", dir);
  snprintf(second, sizeof second, "%s/second.db", dir);
  snprintf(registry, sizeof registry, "%s/registry.ini", dir);
  snprintf(root, sizeof root, "%s/packs", dir);
  snprintf(command, sizeof command, "'%s' demo-store '%s' >/dev/null && '%s' init-store '%s' --shared-from '%s' >/dev/null"
           " && '%s' setup --install-dir '%s/install' --registry '%s' >/dev/null && mkdir '%s'",
           argv[1], store, argv[1], second, store, argv[1], dir, registry, root);
  run(command);
  setenv("KESTREL_REGISTRY", registry, 1);

  /* Creation: an unknown ProgID, and the last error it leaves. */
  kestrel_object* nothing = NULL;
  expect_status(kestrel_create("Kestrel20ImpExp.clsTransfer", &nothing), 429, "unknown ProgID");
  CHECK(nothing == NULL);
  int32_t number = 0;
  const char* text = NULL;
  size_t length = 0;
  expect_status(kestrel_last_error(&number, &text, &length), 0, "last error");
  CHECK(number == 429 && same(text, length, "ActiveX component can't create object"));

  /* The export of the demo chain with its revisions. */
  kestrel_object* ex = NULL;
  expect_status(kestrel_create("kestrel20impexp.CLSEXPORT", &ex), 0, "create clsExport");
  char missing[128];
  snprintf(missing, sizeof missing, "%s/none.db", dir);
  expect_status(kestrel_set_store(ex, missing, strlen(missing)), 53, "missing store");
  expect_status(kestrel_set_store(ex, store, strlen(store)), 0, "set store");
  expect_status(kestrel_put_number(ex, "MigrationProfileTobeExported", 40000), 6, "profile beyond 16 bits");
  expect_status(kestrel_put_number(ex, "migrationprofiletobeexported", 30), 0, "profile");
  expect_status(kestrel_put_number(ex, "ExportRevisionInformation", 1), 0, "revisions");
  expect_status(kestrel_put_text(ex, "ExportRevisionInformation", "1", 1), 13, "a text for a boolean");
  expect_status(kestrel_put_number(ex, "ErrorNumber", 0), 450, "read-only property put");
  expect_status(kestrel_put_number(ex, "ExportedProfile", 30), 438, "unknown property");
  expect_status(kestrel_put_text(ex, "Path", root, strlen(root)), 0, "root");
  int ok = -1;
  expect_status(kestrel_call(ex, "ExportMigrationProfiles", NULL, 0, &ok), 0, "export");
  CHECK(ok == 1);
  int64_t error_number = -1;
  expect_status(kestrel_get_number(ex, "ErrorNumber", &error_number), 0, "ErrorNumber");
  CHECK(error_number == 0);
  const char* pack_bytes = NULL;
  size_t pack_length = 0;
  expect_status(kestrel_get_text(ex, "Path", &pack_bytes, &pack_length), 0, "pack folder");
  char pack[2048] = "";
  if (pack_bytes && pack_length < sizeof pack) memcpy(pack, pack_bytes, pack_length);
  CHECK(strncmp(pack, root, strlen(root)) == 0 && strstr(pack, "/ExportedRules/30-") != NULL);
  char manifest[2100];
  snprintf(manifest, sizeof manifest, "%s/ExportMR.log", pack);
  CHECK(access(manifest, R_OK) == 0);
  /* Without OverWrite the same export is refused, as the object reports it. */
  expect_status(kestrel_put_text(ex, "Path", root, strlen(root)), 0, "root again");
  expect_status(kestrel_call(ex, "ExportMigrationProfiles", NULL, 0, &ok), 0, "export again");
  CHECK(ok == 0);
  expect_status(kestrel_get_number(ex, "ErrorNumber", &error_number), 0, "ErrorNumber after refusal");
  CHECK(error_number == 3);
  expect_status(kestrel_get_text(ex, "ErrorDescription", &text, &length), 0, "ErrorDescription");
  CHECK(length > 0 && strstr(text, "Already Exported") != NULL);

  /* The pack's details as an import into the second store proposes them. */
  kestrel_object* im = NULL;
  expect_status(kestrel_create("Kestrel20ImpExp.clsImport", &im), 0, "create clsImport");
  expect_status(kestrel_set_store(im, second, strlen(second)), 0, "set store of the import");
  /* Texts are bytes with a length: a byte above 127 comes back as it went. */
  const char user[] = {'m', '\xfc', 'l', 'l', 'e', 'r'};
  expect_status(kestrel_put_text(im, "LastModifiedUser", user, sizeof user), 0, "user");
  expect_status(kestrel_get_text(im, "LastModifiedUser", &text, &length), 0, "user read back");
  CHECK(length == sizeof user && memcmp(text, user, sizeof user) == 0);
  expect_status(kestrel_put_text(im, "Path", pack, strlen(pack)), 0, "pack");
  kestrel_arg args[3];
  memset(args, 0, sizeof args);
  expect_status(kestrel_call(im, "ShowLogicPackDetails", args, 1, &ok), 0, "details");
  CHECK(ok == 1);
  char proposal[8192] = "";
  size_t proposal_length = args[0].text.length;
  if (proposal_length < sizeof proposal) memcpy(proposal, args[0].text.bytes, proposal_length);
  expect_status(kestrel_call(im, "ShowLogicPackDetails", args, 2, &ok), 450, "a second argument");
  expect_status(kestrel_call(im, "ShowDetails", args, 1, &ok), 438, "unknown method");
  memset(args, 0, sizeof args);
  expect_status(kestrel_call(im, "CheckLogicPack", args, 1, &ok), 450, "one argument short");

  const kestrel_text* fields = NULL;
  size_t entries = 0;
  expect_status(kestrel_details_entries(proposal, proposal_length, KESTREL_SOURCES, &fields, &entries), 0, "sources");
  /* The chain: the grandchild and the two profiles it is based on. */
  CHECK(entries == 3);
  int has_grandchild = 0;
  for (size_t i = 0; i < entries; ++i)
    if (same(fields[i * KESTREL_ENTRY_FIELDS + KESTREL_FIELD_PROFILE].bytes,
             fields[i * KESTREL_ENTRY_FIELDS + KESTREL_FIELD_PROFILE].length, "30"))
      has_grandchild = 1;
  CHECK(has_grandchild);

  /* The proposal's targets, one number changed, verified against the store. */
  expect_status(kestrel_details_entries(proposal, proposal_length, KESTREL_TARGETS, &fields, &entries), 0, "targets");
  CHECK(entries == 3);
  char edited[3][512];
  kestrel_text targets[3];
  for (size_t i = 0; i < entries && i < 3; ++i) {
    const kestrel_text* f = fields + i * KESTREL_ENTRY_FIELDS;
    char number_text[64];
    snprintf(number_text, sizeof number_text, "%.*s", (int)f[0].length, f[0].bytes);
    /* The store holds none of the chain: no number carries a marker (the
     * parents may; the library drops them). */
    CHECK(strchr(number_text, '*') == NULL);
    if (same(f[0].bytes, f[0].length, "30")) snprintf(number_text, sizeof number_text, "930");
    snprintf(edited[i], sizeof edited[i], "%s|%.*s|%.*s|%.*s|%.*s|%.*s", number_text, (int)f[1].length, f[1].bytes,
             (int)f[2].length, f[2].bytes, (int)f[3].length, f[3].bytes, (int)f[4].length, f[4].bytes,
             (int)f[5].length, f[5].bytes);
    targets[i].bytes = edited[i];
    targets[i].length = strlen(edited[i]);
  }
  const char* details = NULL;
  size_t details_length = 0;
  kestrel_text short_entry = {"930|ACC10|ACCX2", 15};
  expect_status(kestrel_details_with_targets(proposal, proposal_length, &short_entry, 1, &details, &details_length),
                9012, "an entry of three fields");
  expect_status(kestrel_details_with_targets(proposal, proposal_length, targets, 3, &details, &details_length), 0,
                "edited details");
  CHECK(details_length > 0 && memchr(details, '\r', details_length) != NULL);
  /* No targets given: the proposal's own, without their markers. */
  size_t markers = 0;
  for (size_t k = 0; k < proposal_length; ++k) markers += proposal[k] == '*';
  const char* own = NULL;
  size_t own_length = 0;
  expect_status(kestrel_details_with_targets(proposal, proposal_length, NULL, 0, &own, &own_length), 0, "own targets");
  CHECK(own_length == proposal_length - markers && memchr(own, '*', own_length) == NULL);
  expect_status(kestrel_details_with_targets(proposal, proposal_length, targets, 3, &details, &details_length), 0,
                "edited details");
  /* The thread's next call lets go of it: kept for the check below. */
  char selection[8192] = "";
  size_t selection_length = details_length < sizeof selection ? details_length : 0;
  memcpy(selection, details, selection_length);
  memset(args, 0, sizeof args);
  args[0].text.bytes = selection;
  args[0].text.length = selection_length;
  expect_status(kestrel_call(im, "VerifyUserSelections", args, 3, &ok), 0, "verify");
  CHECK(ok == 1);
  expect_status(kestrel_details_entries(args[1].text.bytes, args[1].text.length, KESTREL_TARGETS, &fields, &entries), 0,
                "checked targets");
  int renumbered = 0;
  for (size_t i = 0; i < entries; ++i)
    if (same(fields[i * KESTREL_ENTRY_FIELDS].bytes, fields[i * KESTREL_ENTRY_FIELDS].length, "930")) renumbered = 1;
  CHECK(entries == 3 && renumbered);
  const kestrel_text* lines = NULL;
  size_t line_count = 99;
  expect_status(kestrel_messages("first<BR><BR>second<BR>", 23, &lines, &line_count), 0, "messages");
  CHECK(line_count == 2 && same(lines[0].bytes, lines[0].length, "first") &&
        same(lines[1].bytes, lines[1].length, "second"));

  /* The check an import runs first. */
  memset(args, 0, sizeof args);
  args[0].text.bytes = selection;
  args[0].text.length = selection_length;
  expect_status(kestrel_call(im, "CheckLogicPack", args, 2, &ok), 0, "check");
  CHECK(ok == 1);
  /* Having read the pack's manifest, the check knows that the pack holds
   * revisions: their development VRCs come back as a list. */
  memset(args, 0, sizeof args);
  args[0].number = 30;
  expect_status(kestrel_call(im, "GetDevelopmentVRC", args, 2, &ok), 0, "development VRC");
  CHECK(ok == 1 && args[1].count == 3 && args[1].items != NULL);
  memset(args, 0, sizeof args);
  expect_status(kestrel_set_store(im, store, strlen(store)), 0, "the demo store");
  args[1].number = 0;
  expect_status(kestrel_call(im, "GetDepthOfProfile", args, 3, &ok), 0, "depth of a root");
  CHECK(ok == 1 && args[2].number == 1);
  args[1].number = 10;
  expect_status(kestrel_call(im, "GetDepthOfProfile", args, 3, &ok), 0, "depth below profile 10");
  const int64_t below_root = args[2].number;
  args[1].number = 20;
  expect_status(kestrel_call(im, "GetDepthOfProfile", args, 3, &ok), 0, "depth below profile 20");
  CHECK(below_root >= 2 && args[2].number == below_root + 1);

  check_nul_refusals(ex, im, store);
  check_number_ranges(ex, im);
  check_without_store(pack, selection, selection_length);
  check_typed(dir, store, second, registry);

  expect_status(kestrel_release(ex), 0, "release clsExport");
  expect_status(kestrel_release(im), 0, "release clsImport");
  expect_status(kestrel_release(NULL), 0, "release nothing");
  expect_status(kestrel_put_number(NULL, "Path", 1), 91, "no object");

  snprintf(command, sizeof command, "rm -rf '%s'", dir);
  run(command);
  if (failures) fprintf(stderr, "%d check(s) failed\n", failures);
  return failures ? 1 : 0;
}
