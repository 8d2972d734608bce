/* kestrel.h: the C interface of libkestrel.so, for hosts in any language:
 * the original component's two objects (below), and the engine's typed calls
 * (further down, "The typed interface").
 *
 * A host creates an object by its ProgID, puts and gets its properties by
 * name, hands it a store, calls its methods by name and releases it:
 *
 *   kestrel_object* x;
 *   kestrel_create("Kestrel20ImpExp.clsExport", &x);
 *   kestrel_set_store(x, "profiles.db", 11);
 *   kestrel_put_number(x, "MigrationProfileTobeExported", 30);
 *   kestrel_put_text(x, "Path", "/srv/packs", 10);
 *   int ok;
 *   kestrel_call(x, "ExportMigrationProfiles", NULL, 0, &ok);
 *   kestrel_release(x);
 *
 * Statuses. Every function returns an int: 0 when it did what it was asked,
 * else the error number (the component's run-time numbers and Kestrel's own,
 * listed in docs/errors.md); kestrel_last_error gives the number and text of
 * the last failure on the calling thread, kestrel_get_error also its place. No C++ exception leaves the library.
 * A NULL object fails with 91, any other NULL pointer the caller must give
 * (a name, an out-parameter, bytes with a length above 0) with 5.
 * A method that runs and fails reports it as the classes do: its result is 0
 * and the object's ErrorNumber and ErrorDescription say why; its status is 0.
 *
 * Text. Every value, path and text crosses as bytes with a length: never
 * transcoded, never NUL-terminated on the way in, and NUL-terminated on the
 * way out only as a courtesy (the length counts without it). A text passed in
 * that holds a NUL byte fails with 9070, the text naming the argument (the
 * property, "store", "METHOD argument N", "details", ...): the library hands
 * paths, store locations and users on where a NUL would cut them short.
 * Names (ProgIDs, properties, methods) are NUL-terminated ASCII and match
 * without regard to case.
 *
 * Ownership. Texts handed out by a function that takes an object belong to
 * the object and stay valid until the next call with that object or its
 * release. Texts handed out by the details helpers (kestrel_details_entries,
 * kestrel_details_with_targets, kestrel_messages) belong to the calling
 * thread and stay valid until its next call of one of the three; the last
 * error's text until its next failure. Of the objects' functions, the caller
 * frees nothing but the object, with kestrel_release (the typed calls below
 * hand out results the caller frees).
 *
 * Threads. One thread at a time per object; distinct objects may be used on
 * distinct threads at once.
 *
 * Properties. Text properties take kestrel_put_text and give kestrel_get_text;
 * numbers and booleans (0 false, non-zero true) take kestrel_put_number and
 * give kestrel_get_number. Numbers take what the command line takes: profile
 * numbers 1 to 32767 (MigrationProfileTobeExported, GetDevelopmentVRC's
 * profile), or 0 to 32767 where 0 means none (NewProfileNumber,
 * ExportBasedOn, GetDepthOfProfile's profile and parent), LockWait 0 to
 * 2147483647 seconds; booleans any number. A number beyond its type (16 bits
 * for the properties' profile numbers, 32 for LockWait and the methods')
 * fails with 6, one within it but outside its range with 5; the text names
 * the number and its range.
 *   clsExport: traveseparent (number, put/get), NewProfileNumber and
 *     MigrationProfileTobeExported (16-bit numbers), Path (text; reads the pack
 *     folder after an export), OverWrite, ExportRevisionInformation,
 *     ExportToSingleProfile (booleans), TreskDataPath (text), ExportBasedOn
 *     (text or number), ExportForSync (boolean or text), ErrorNumber and
 *     ErrorDescription (read only).
 *   clsImport: LastModifiedUser and Path (text, put/get), DatabaseServer,
 *     DatabaseName, DatabaseUser, DatabasePassword (text), DryRun, KeepWork,
 *     AllowWithoutSums (booleans; a pack without ExportMR.sums is refused with
 *     9053 unless AllowWithoutSums is true), LockWait (seconds), RefusedAt
 *     (text, read only: where the last check refused the pack), ErrorNumber
 *     and ErrorDescription (read only).
 * An unknown name fails with 438; a put of a read-only property or a read of
 * a write-only one with 450; a text given to a number property or a number
 * to a text property with 13.
 *
 * Methods. kestrel_call takes the method's arguments in order, one
 * kestrel_arg each, and the method's signature says which member of each is
 * used. A by-reference argument is in and out: the method reads it and
 * writes its result back (texts then point into the object). Another number
 * of arguments fails with 450.
 *   clsExport: ExportMigrationProfiles().
 *   clsImport: LoadToMAP150(); ImportLogicPack(text& details, text& message);
 *     VerifyUserSelections(text details, text& checked, text& message);
 *     ShowLogicPackDetails(text& details); CheckLogicPack(text& details,
 *     text& message); GetDepthOfProfile(number& profile, number& parent,
 *     number& depth); GetDevelopmentVRC(number& profile, list& vrcs);
 *     GetLumoInstallationPath(text& path).
 */
#ifndef KESTREL_H
#define KESTREL_H

#include <stddef.h>
#include <stdint.h>

#include "kestrel/export.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct kestrel_object kestrel_object;

/* Bytes and their length. */
typedef struct kestrel_text {
  const char* bytes;
  size_t length;
} kestrel_text;

/* One argument of a method: `text` for a text, `number` for a number,
 * `items` and `count` for a list of texts (out only). */
typedef struct kestrel_arg {
  kestrel_text text;
  int64_t number;
  const kestrel_text* items;
  size_t count;
} kestrel_arg;

/* The two lists of a details string. */
enum { KESTREL_SOURCES = 0, KESTREL_TARGETS = 1 };
/* The fields of a details entry, in their order. */
enum {
  KESTREL_FIELD_PROFILE = 0,
  KESTREL_FIELD_SOURCE_APPLICATION = 1,
  KESTREL_FIELD_TARGET_APPLICATION = 2,
  KESTREL_FIELD_PARENT = 3,
  KESTREL_FIELD_SOURCE_EXTN = 4,
  KESTREL_FIELD_TARGET_EXTN = 5,
  KESTREL_ENTRY_FIELDS = 6
};

/* Creates "Kestrel20ImpExp.clsExport" or "Kestrel20ImpExp.clsImport" into
 * *object (429 for any other ProgID; clsImport fails with 505 when no
 * installation folder is recorded, see KESTREL_REGISTRY). */
KESTREL_API int kestrel_create(const char* prog_id, kestrel_object** object);
/* Releases the object and everything it handed out; NULL is allowed. */
KESTREL_API int kestrel_release(kestrel_object* object);

KESTREL_API int kestrel_put_text(kestrel_object* object, const char* name, const char* value, size_t length);
KESTREL_API int kestrel_put_number(kestrel_object* object, const char* name, int64_t value);
KESTREL_API int kestrel_get_text(kestrel_object* object, const char* name, const char** value, size_t* length);
KESTREL_API int kestrel_get_number(kestrel_object* object, const char* name, int64_t* value);

/* Opens the store at `location` (a store file, or a server's postgresql://
 * URI or key=value pairs) and makes it the object's DataConnection; a
 * missing store file fails with 53. */
KESTREL_API int kestrel_set_store(kestrel_object* object, const char* location, size_t length);

/* Calls the method `name` with `count` arguments; *result receives what it
 * returned (1 true, 0 false). */
KESTREL_API int kestrel_call(kestrel_object* object, const char* name, kestrel_arg* args, size_t count,
                             int* result);

/* The number and text of the last failure on this thread (0 and "" when no
 * function has failed on it); the text stays valid until the next failure on
 * the thread. */
KESTREL_API int kestrel_last_error(int32_t* number, const char** text, size_t* length);

/* The entries of one list (KESTREL_SOURCES or KESTREL_TARGETS) of a details
 * string: KESTREL_ENTRY_FIELDS texts per entry, *count entries. Markers ("*")
 * stay on the fields as the details carry them. */
KESTREL_API int kestrel_details_entries(const char* details, size_t length, int list, const kestrel_text** fields,
                                        size_t* count);
/* The details to verify or import: the source list of `proposal` and the
 * given target entries (six fields joined by "|"), or the proposal's own
 * targets when `count` is 0; either without the markers the proposal put on
 * the first four fields. An entry of another shape fails with 9012. */
KESTREL_API int kestrel_details_with_targets(const char* proposal, size_t length, const kestrel_text* targets,
                                             size_t count, const char** details, size_t* details_length);
/* The messages of a verification, one text each, empty ones left out. */
KESTREL_API int kestrel_messages(const char* messages, size_t length, const kestrel_text** items, size_t* count);

/* ---- The typed interface ----
 *
 * The same work without objects, properties or details strings: a store
 * handle, requests and results as structs, numbers as numbers, targets as
 * structs. Export a profile and import it renumbered into another store:
 *
 *   kestrel_store *from, *to;
 *   kestrel_store_open("profiles.db", 11, 30, &from);
 *   kestrel_store_open("other.db", 8, 30, &to);
 *   kestrel_export_request ex = KESTREL_EXPORT_REQUEST_INIT;
 *   ex.profile = 30;
 *   ex.root.bytes = "/srv/packs"; ex.root.length = 10;
 *   kestrel_export_report* pack;
 *   kestrel_export(from, &ex, &pack);
 *   kestrel_renumber renumber = {30, 930};
 *   kestrel_import_request im = KESTREL_IMPORT_REQUEST_INIT;
 *   im.pack = pack->folder;
 *   im.renumber = &renumber; im.renumber_count = 1;
 *   kestrel_import_report* done;
 *   if (kestrel_import(to, &im, &done) == 0) kestrel_import_report_free(done);
 *   kestrel_export_report_free(pack);
 *   kestrel_store_close(to); kestrel_store_close(from);
 *
 * Statuses as above: 0, or the error number with the thread's last error
 * set; kestrel_get_error gives its number, text and place (the file and line
 * of a pack, a table, the entry of a selection, a path). A NULL store fails
 * with 91, any other NULL the call needs with 5, a text holding a NUL byte
 * with 9070 naming it (its field: "pack", "user", "target 2
 * source_application", ...), a number outside what its field takes with 5
 * (a profile number 1 to 32767, or 0 for none where a field allows it; a
 * wait 0 to 2147483647 seconds) naming the field and the range. A target's
 * numbers are not refused on the way in: kestrel_verify reports them as
 * findings of their entry.
 *
 * Structs. A request the caller fills starts with `size`, the sizeof the
 * caller knows: the _INIT macros set it and every default. A size below this
 * version's fails with 5; a struct grows only at its end, and fields beyond a
 * caller's size keep their defaults. A result the library allocates starts
 * with `size` too, what the library filled. Element structs (kestrel_target,
 * kestrel_pack_profile, kestrel_pack_file, kestrel_error, kestrel_count,
 * kestrel_table_rows, kestrel_stored_profile) never grow: a later version
 * adds arrays of new ones.
 * Booleans are int32_t, 0 false and anything else true; `reserved` fields
 * are 0 on the way out and ignored on the way in.
 *
 * Ownership. Texts and arrays a request points at are read during the call
 * only. A result belongs to the caller, who frees it with the function of its
 * type (kestrel_export_report_free, kestrel_pack_info_free,
 * kestrel_targets_free, kestrel_findings_free, kestrel_import_report_free,
 * kestrel_stored_profiles_free, kestrel_counts_free, kestrel_texts_free;
 * NULL allowed, a pointer the library did not hand out fails with 5);
 * everything it points at lives until then. Texts out are NUL-terminated as a
 * courtesy (the length counts without it).
 *
 * Threads. One thread at a time per store handle; distinct handles may be
 * used on distinct threads at once. A result may be read and freed on any
 * thread. */

typedef struct kestrel_store kestrel_store;

/* What a failure is about; an empty text or a line of 0 or an entry of -1
 * says nothing. `entry` is the 0-based index of a selection's target. */
typedef struct kestrel_place {
  kestrel_text file;
  int64_t line;
  kestrel_text table;
  int64_t entry;
  kestrel_text path;
} kestrel_place;

/* A failure, or a finding of a verification. */
typedef struct kestrel_error {
  int32_t number;
  int32_t reserved;
  kestrel_text text;
  kestrel_place place;
} kestrel_error;

/* The last failure on this thread (number 0, empty texts and place when no
 * function has failed on it); its texts stay valid until the next failure on
 * the thread. */
KESTREL_API int kestrel_get_error(kestrel_error* error);

/* Opens the store at `location` (a store file, or a server's postgresql://
 * URI or key=value pairs; a missing file fails with 53 and is never
 * created). Every statement waits at most `wait_seconds` for a lock another
 * program holds, then fails with 9031. */
KESTREL_API int kestrel_store_open(const char* location, size_t length, int32_t wait_seconds, kestrel_store** store);
/* Closes the store; NULL is allowed. */
KESTREL_API int kestrel_store_close(kestrel_store* store);

/* A name and its rows: a pack file's records, a table's rows. */
typedef struct kestrel_count {
  kestrel_text name;
  int64_t rows;
} kestrel_count;

/* One profile a store holds, with its place in the hierarchy and its rules. */
typedef struct kestrel_stored_profile {
  int32_t number;
  int32_t parent;  /* its direct parent; 0 for a root */
  int32_t depth;   /* 1 for a root */
  int32_t reserved;
  kestrel_text source_application, target_application;
  kestrel_text version, release, customer; /* its VRC */
  kestrel_text description;
  const kestrel_count* rules;  /* its rows of each rule table (qzmap110 to qzmap175) holding any, by table */
  size_t rule_count;
} kestrel_stored_profile;

typedef struct kestrel_stored_profiles {
  uint32_t size;
  int32_t reserved;
  const kestrel_stored_profile* profiles; /* by number */
  size_t count;
} kestrel_stored_profiles;

/* Every profile of the store. */
KESTREL_API int kestrel_store_profiles(kestrel_store* store, kestrel_stored_profiles** profiles);
KESTREL_API int kestrel_stored_profiles_free(kestrel_stored_profiles* profiles);

typedef struct kestrel_counts {
  uint32_t size;
  int32_t reserved;
  const kestrel_count* tables; /* in the schema's order */
  size_t count;
} kestrel_counts;

/* The rows of every table of the store. */
KESTREL_API int kestrel_store_counts(kestrel_store* store, kestrel_counts** counts);
KESTREL_API int kestrel_counts_free(kestrel_counts* counts);

typedef struct kestrel_export_request {
  uint32_t size;
  int32_t profile;           /* 1 to 32767 */
  kestrel_text root;         /* the export root; empty: $KESTREL_EXPORT_ROOT, else $HOME/ImpExpMR */
  int32_t single_profile;    /* one profile with its rules resolved, else the chain of its base profiles */
  int32_t new_number;        /* a single-profile pack announces it to the import; 0 none */
  int32_t traverse_parent;   /* an object without rules takes its nearest ancestor's */
  int32_t revisions;         /* with the revision information the profile keeps */
  int32_t based_on;          /* ancestors numbered at or below it stay out of a chain pack; 0 none */
  int32_t for_sync;
  int32_t overwrite;         /* replace a pack of the same name */
  int32_t reserved;
} kestrel_export_request;
#define KESTREL_EXPORT_REQUEST_INIT {sizeof(kestrel_export_request), 0, {NULL, 0}, 0, 0, 0, 0, 0, 0, 0, 0}

typedef struct kestrel_export_report {
  uint32_t size;
  int32_t revisions;                 /* the pack carries revision information */
  kestrel_text folder;               /* the pack folder written */
  const kestrel_text* files;         /* as the manifest lists them */
  size_t file_count;
  const kestrel_text* applications;  /* application codes, as listed */
  size_t application_count;
  const kestrel_count* rows;         /* records written per file, by file name */
  size_t row_count;
} kestrel_export_report;

/* Exports a profile of the store into a logic pack below the request's root. */
KESTREL_API int kestrel_export(kestrel_store* store, const kestrel_export_request* request, kestrel_export_report** report);
KESTREL_API int kestrel_export_report_free(kestrel_export_report* report);

/* Flags of the calls that read a pack. */
enum {
  /* Take a pack without ExportMR.sums (an older export's); else 9053. */
  KESTREL_ALLOW_WITHOUT_SUMS = 1
};

/* One profile of a pack. */
typedef struct kestrel_pack_profile {
  int32_t number;
  int32_t parent;  /* as the pack's hierarchy says; 0 for a root */
  int32_t depth;   /* 1 for a root */
  int32_t reserved;
  kestrel_text source_application, target_application;
  kestrel_text version, release, customer; /* its VRC */
  kestrel_text description;
  kestrel_text source_extn, target_extn;
} kestrel_pack_profile;

/* A file's line in ExportMR.sums. */
enum {
  KESTREL_SUM_UNLISTED = 0, /* the pack has no sums, or they do not list the file */
  KESTREL_SUM_MATCHES = 1,
  KESTREL_SUM_DIFFERS = 2
};

/* One file of a pack folder. */
typedef struct kestrel_pack_file {
  kestrel_text name;
  kestrel_text kind;    /* "manifest", "sums", "rules", "rows", "application data" or "other" */
  int64_t rows;         /* records or rows; -1 for a kind without them */
  int32_t sum;          /* KESTREL_SUM_... */
  int32_t reserved;
  kestrel_text problem; /* why it could not be read as its kind; empty when it was */
} kestrel_pack_file;

typedef struct kestrel_pack_info {
  uint32_t size;
  int32_t export_succeeded;    /* the manifest's status line is "SUCCESS" */
  int32_t revisions;
  int32_t for_sync;
  int32_t new_profile_number;  /* 0: the pack keeps its profiles' numbers */
  int32_t has_sums;
  kestrel_text folder;
  const kestrel_text* applications;
  size_t application_count;
  const kestrel_pack_profile* profiles;  /* in the header file's order */
  size_t profile_count;
  const kestrel_pack_file* files;        /* by name */
  size_t file_count;
  const kestrel_text* missing_files;     /* listed in ExportMR.sums, not in the folder */
  size_t missing_file_count;
} kestrel_pack_info;

/* Reads a pack folder (its files checked against ExportMR.sums first),
 * without a store. */
KESTREL_API int kestrel_read_pack(const char* folder, size_t length, uint32_t flags, kestrel_pack_info** info);
KESTREL_API int kestrel_pack_info_free(kestrel_pack_info* info);

/* What a target's store holds already (bits of kestrel_target.stored). */
enum {
  KESTREL_STORED_PROFILE = 1,
  KESTREL_STORED_SOURCE_APPLICATION = 2,
  KESTREL_STORED_TARGET_APPLICATION = 4,
  KESTREL_PARENT_MISSING = 8 /* the store lacks the parent */
};

/* What the import of one pack profile asks for: the number and parent it
 * gets and the applications it serves. */
typedef struct kestrel_target {
  int32_t profile;
  int32_t parent;  /* 0 for a root */
  kestrel_text source_application, target_application;
  kestrel_text source_extn, target_extn;
  uint32_t stored; /* KESTREL_STORED_... as a proposal or import finds them; ignored on input */
  int32_t reserved;
} kestrel_target;

typedef struct kestrel_targets {
  uint32_t size;
  int32_t reserved;
  const kestrel_target* targets;
  size_t count;
} kestrel_targets;

/* The pack's profiles as an import into `store` would start: one target per
 * pack profile, the pack's new number applied, marked with what the store
 * holds. */
KESTREL_API int kestrel_propose(kestrel_store* store, const char* folder, size_t length, uint32_t flags,
                    kestrel_targets** proposal);
KESTREL_API int kestrel_targets_free(kestrel_targets* targets);

/* A pack profile's number and the number it gets in the store. */
typedef struct kestrel_renumber {
  int32_t from;
  int32_t to;
} kestrel_renumber;

enum {
  KESTREL_REPLACE_REFUSE = 0, /* 9030 when the import would delete stored profiles or applications */
  KESTREL_REPLACE = 1         /* delete and replace them */
};

typedef struct kestrel_import_request {
  uint32_t size;
  int32_t replace;                    /* KESTREL_REPLACE_REFUSE or KESTREL_REPLACE */
  kestrel_text pack;                  /* the pack folder */
  const kestrel_target* targets;      /* one per pack profile, in the pack's order; none: the proposal */
  size_t target_count;
  const kestrel_renumber* renumber;   /* applied to the targets' numbers and parents; each `from` once */
  size_t renumber_count;
  int32_t dry_run;                    /* run it all, then roll back */
  int32_t keep_work;                  /* keep the working folder with its copies of the application data */
  int32_t allow_without_sums;
  int32_t wait_seconds;               /* for another program's write lock */
  kestrel_text user;                  /* recorded as the last to change the rules; empty: the login name */
  kestrel_text registry;              /* the registry file naming the installation; empty: the default */
} kestrel_import_request;
#define KESTREL_IMPORT_REQUEST_INIT \
  {sizeof(kestrel_import_request), KESTREL_REPLACE_REFUSE, {NULL, 0}, NULL, 0, NULL, 0, 0, 0, 0, 30, {NULL, 0}, {NULL, 0}}

/* The findings of a verification, each with its entry as its place. */
typedef struct kestrel_findings {
  uint32_t size;
  int32_t reserved;
  const kestrel_error* findings;
  size_t count;
} kestrel_findings;

/* Rows added to and deleted from one table. */
typedef struct kestrel_table_rows {
  kestrel_text table;
  int64_t added;
  int64_t deleted;
} kestrel_table_rows;

typedef struct kestrel_import_report {
  uint32_t size;
  int32_t committed;
  int32_t dry_run;
  int32_t reserved;
  const kestrel_pack_profile* sources;     /* the pack's profiles imported */
  size_t source_count;
  const kestrel_target* targets;           /* what each became */
  size_t target_count;
  const int32_t* profiles_replaced;
  size_t profiles_replaced_count;
  const kestrel_text* applications_replaced;
  size_t applications_replaced_count;
  const kestrel_table_rows* rows;          /* per table */
  size_t row_count;
  double seconds;
  kestrel_text run_log;                    /* the run log the import appended to */
} kestrel_import_report;

/* The request's targets (or the proposal), renumbered, checked against each
 * other and the store: one finding per problem (none when the selection
 * passes). Changes nothing. */
KESTREL_API int kestrel_verify(kestrel_store* store, const kestrel_import_request* request, kestrel_findings** findings);
KESTREL_API int kestrel_findings_free(kestrel_findings* findings);
/* The check an import runs before its first delete, alone: its status is
 * the first refusal's number, kestrel_get_error its place. Changes nothing. */
KESTREL_API int kestrel_check(kestrel_store* store, const kestrel_import_request* request);
/* A list of texts. */
typedef struct kestrel_texts {
  uint32_t size;
  int32_t reserved;
  const kestrel_text* items;
  size_t count;
} kestrel_texts;
/* What the import would delete and replace, for a host to show before it
 * asks for consent: "profile N" for every profile number the store holds,
 * then "application X" for every application it holds, each once (none
 * when nothing). The same list a refusal (9030) names. Changes nothing. */
KESTREL_API int kestrel_would_replace(kestrel_store* store, const kestrel_import_request* request,
                                      kestrel_texts** replaced);
KESTREL_API int kestrel_texts_free(kestrel_texts* texts);
/* Verifies, refuses a replacement the request does not allow, checks the
 * pack and imports it as one unit of the store: all of it, or nothing. */
KESTREL_API int kestrel_import(kestrel_store* store, const kestrel_import_request* request, kestrel_import_report** report);
KESTREL_API int kestrel_import_report_free(kestrel_import_report* report);

#ifdef __cplusplus
}
#endif

#endif /* KESTREL_H */
