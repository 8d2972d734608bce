"""The structs of the typed C interface (include/kestrel.h), as ctypes
declares them: field for field, in the header's order."""

import ctypes

_P = ctypes.POINTER
_i32, _i64, _u32, _size = ctypes.c_int32, ctypes.c_int64, ctypes.c_uint32, ctypes.c_size_t


class Text(ctypes.Structure):
    _fields_ = [("bytes", _P(ctypes.c_char)), ("length", _size)]


class Place(ctypes.Structure):
    _fields_ = [("file", Text), ("line", _i64), ("table", Text), ("entry", _i64), ("path", Text)]


class Error(ctypes.Structure):
    _fields_ = [("number", _i32), ("reserved", _i32), ("text", Text), ("place", Place)]


class Count(ctypes.Structure):
    _fields_ = [("name", Text), ("rows", _i64)]


class StoredProfile(ctypes.Structure):
    _fields_ = [("number", _i32), ("parent", _i32), ("depth", _i32), ("reserved", _i32),
                ("source_application", Text), ("target_application", Text), ("version", Text), ("release", Text),
                ("customer", Text), ("description", Text), ("rules", _P(Count)), ("rule_count", _size)]


class StoredProfiles(ctypes.Structure):
    _fields_ = [("size", _u32), ("reserved", _i32), ("profiles", _P(StoredProfile)), ("count", _size)]


class Counts(ctypes.Structure):
    _fields_ = [("size", _u32), ("reserved", _i32), ("tables", _P(Count)), ("count", _size)]


class Texts(ctypes.Structure):
    _fields_ = [("size", _u32), ("reserved", _i32), ("items", _P(Text)), ("count", _size)]


class ExportRequest(ctypes.Structure):
    _fields_ = [("size", _u32), ("profile", _i32), ("root", Text), ("single_profile", _i32), ("new_number", _i32),
                ("traverse_parent", _i32), ("revisions", _i32), ("based_on", _i32), ("for_sync", _i32),
                ("overwrite", _i32), ("reserved", _i32)]


class ExportReport(ctypes.Structure):
    _fields_ = [("size", _u32), ("revisions", _i32), ("folder", Text), ("files", _P(Text)), ("file_count", _size),
                ("applications", _P(Text)), ("application_count", _size), ("rows", _P(Count)), ("row_count", _size)]


class PackProfile(ctypes.Structure):
    _fields_ = [("number", _i32), ("parent", _i32), ("depth", _i32), ("reserved", _i32),
                ("source_application", Text), ("target_application", Text), ("version", Text), ("release", Text),
                ("customer", Text), ("description", Text), ("source_extn", Text), ("target_extn", Text)]


class PackFile(ctypes.Structure):
    _fields_ = [("name", Text), ("kind", Text), ("rows", _i64), ("sum", _i32), ("reserved", _i32), ("problem", Text)]


class PackInfo(ctypes.Structure):
    _fields_ = [("size", _u32), ("export_succeeded", _i32), ("revisions", _i32), ("for_sync", _i32),
                ("new_profile_number", _i32), ("has_sums", _i32), ("folder", Text),
                ("applications", _P(Text)), ("application_count", _size),
                ("profiles", _P(PackProfile)), ("profile_count", _size),
                ("files", _P(PackFile)), ("file_count", _size),
                ("missing_files", _P(Text)), ("missing_file_count", _size)]


class Target(ctypes.Structure):
    _fields_ = [("profile", _i32), ("parent", _i32), ("source_application", Text), ("target_application", Text),
                ("source_extn", Text), ("target_extn", Text), ("stored", _u32), ("reserved", _i32)]


class Targets(ctypes.Structure):
    _fields_ = [("size", _u32), ("reserved", _i32), ("targets", _P(Target)), ("count", _size)]


class Renumber(ctypes.Structure):
    _fields_ = [("from_", _i32), ("to", _i32)]


class ImportRequest(ctypes.Structure):
    _fields_ = [("size", _u32), ("replace", _i32), ("pack", Text), ("targets", _P(Target)), ("target_count", _size),
                ("renumber", _P(Renumber)), ("renumber_count", _size), ("dry_run", _i32), ("keep_work", _i32),
                ("allow_without_sums", _i32), ("wait_seconds", _i32), ("user", Text), ("registry", Text)]


class Findings(ctypes.Structure):
    _fields_ = [("size", _u32), ("reserved", _i32), ("findings", _P(Error)), ("count", _size)]


class TableRows(ctypes.Structure):
    _fields_ = [("table", Text), ("added", _i64), ("deleted", _i64)]


class ImportReport(ctypes.Structure):
    _fields_ = [("size", _u32), ("committed", _i32), ("dry_run", _i32), ("reserved", _i32),
                ("sources", _P(PackProfile)), ("source_count", _size), ("targets", _P(Target)), ("target_count", _size),
                ("profiles_replaced", _P(_i32)), ("profiles_replaced_count", _size),
                ("applications_replaced", _P(Text)), ("applications_replaced_count", _size),
                ("rows", _P(TableRows)), ("row_count", _size), ("seconds", ctypes.c_double), ("run_log", Text)]


# Flags and bits of the header.
ALLOW_WITHOUT_SUMS = 1
SUM_UNLISTED, SUM_MATCHES, SUM_DIFFERS = 0, 1, 2
STORED_PROFILE, STORED_SOURCE_APPLICATION, STORED_TARGET_APPLICATION, PARENT_MISSING = 1, 2, 4, 8
REPLACE_REFUSE, REPLACE = 0, 1

_void = ctypes.c_void_p
# The typed functions and their arguments (each returns an int status).
SIGNATURES = {
    "kestrel_get_error": [_P(Error)],
    "kestrel_store_open": [ctypes.c_char_p, _size, _i32, _P(_void)],
    "kestrel_store_close": [_void],
    "kestrel_store_profiles": [_void, _P(_P(StoredProfiles))],
    "kestrel_stored_profiles_free": [_P(StoredProfiles)],
    "kestrel_store_counts": [_void, _P(_P(Counts))],
    "kestrel_counts_free": [_P(Counts)],
    "kestrel_export": [_void, _P(ExportRequest), _P(_P(ExportReport))],
    "kestrel_export_report_free": [_P(ExportReport)],
    "kestrel_read_pack": [ctypes.c_char_p, _size, _u32, _P(_P(PackInfo))],
    "kestrel_pack_info_free": [_P(PackInfo)],
    "kestrel_propose": [_void, ctypes.c_char_p, _size, _u32, _P(_P(Targets))],
    "kestrel_targets_free": [_P(Targets)],
    "kestrel_verify": [_void, _P(ImportRequest), _P(_P(Findings))],
    "kestrel_findings_free": [_P(Findings)],
    "kestrel_check": [_void, _P(ImportRequest)],
    "kestrel_would_replace": [_void, _P(ImportRequest), _P(_P(Texts))],
    "kestrel_texts_free": [_P(Texts)],
    "kestrel_import": [_void, _P(ImportRequest), _P(_P(ImportReport))],
    "kestrel_import_report_free": [_P(ImportReport)],
}
