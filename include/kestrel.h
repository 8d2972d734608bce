/* kestrel.h: the C interface of libkestrel.so, for hosts in any language.
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
 * the last failure on the calling thread. No C++ exception leaves the library.
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
 * error's text until its next failure. The caller frees nothing but the
 * object, with kestrel_release.
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

#ifdef __cplusplus
}
#endif

#endif /* KESTREL_H */
