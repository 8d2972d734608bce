/* The C interface from a C program: every function of kestrel.h once on the
 * demo chain (export, the pack's details, an edited selection verified, the
 * by-reference numbers and list), and the statuses of the calls a host gets
 * wrong. Run by ctest with the kestrel program as its argument, which makes
 * the stores and the installation; exits 1 naming every check that failed. */
#define _POSIX_C_SOURCE 200809L

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "kestrel.h"

static int failures = 0;

#define CHECK(cond)                                                  \
  do {                                                               \
    if (!(cond)) {                                                   \
      fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
      ++failures;                                                    \
    }                                                                \
  } while (0)

/* The status a call returned, and the last error when it is not the one wanted. */
static void expect_status(int got, int want, const char* what) {
  if (got == want) return;
  int32_t number = 0;
  const char* text = NULL;
  size_t length = 0;
  kestrel_last_error(&number, &text, &length);
  fprintf(stderr, "%s: status %d, wanted %d (last error %d: %.*s)\n", what, got, want, (int)number, (int)length, text);
  ++failures;
}

static int same(const char* bytes, size_t length, const char* want) {
  return length == strlen(want) && memcmp(bytes, want, length) == 0;
}

static void run(const char* command) {
  if (system(command) != 0) {
    fprintf(stderr, "could not run: %s\n", command);
    exit(1);
  }
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
  /* Texts are bytes with a length: a NUL and a byte above 127 come back as they went. */
  const char user[] = {'m', '\xfc', 'l', '\0', 'r'};
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

  /* The check an import runs first: the user's NUL byte would reach the
   * rows' lusr column, which it refuses; a user without one passes. */
  for (int round = 0; round < 2; ++round) {
    if (round == 1) expect_status(kestrel_put_text(im, "LastModifiedUser", user, 3), 0, "a user without NUL");
    memset(args, 0, sizeof args);
    args[0].text.bytes = selection;
    args[0].text.length = selection_length;
    expect_status(kestrel_call(im, "CheckLogicPack", args, 2, &ok), 0, "check");
    expect_status(kestrel_get_number(im, "ErrorNumber", &error_number), 0, "ErrorNumber of the check");
    expect_status(kestrel_get_text(im, "ErrorDescription", &text, &length), 0, "ErrorDescription of the check");
    if (round == 0) CHECK(ok == 0 && error_number == 9040 && strstr(text, "lusr") != NULL);
    if (round == 1) CHECK(ok == 1);
  }
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
  args[1].number = 5000000000LL;
  expect_status(kestrel_call(im, "GetDepthOfProfile", args, 3, &ok), 6, "a number beyond 32 bits");

  expect_status(kestrel_release(ex), 0, "release clsExport");
  expect_status(kestrel_release(im), 0, "release clsImport");
  expect_status(kestrel_release(NULL), 0, "release nothing");
  expect_status(kestrel_put_number(NULL, "Path", 1), 91, "no object");

  snprintf(command, sizeof command, "rm -rf '%s'", dir);
  run(command);
  if (failures) fprintf(stderr, "%d check(s) failed\n", failures);
  return failures ? 1 : 0;
}
