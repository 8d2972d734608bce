// Profile stores as a host or the command line reaches them: open one by its
// location, create one with the schema (empty, or with the demo data), count
// its rows, bulk-load a data file into one of its tables. The connection is
// opaque here; hand it to clsExport or clsImport (putref_DataConnection).
//
// A location is a file path (an SQLite store), or a "postgresql://" or
// "postgres://" URI or the key=value pairs the server's client library reads
// ("host=/run/postgresql dbname=profiles"): a store on a PostgreSQL server,
// in the schema the location's options put first on the search_path. Open,
// Create and DiscardNewStore also take a store's name (kestrel/named_stores.h).
// Failures throw kestrel::ComError. One thread per connection.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kestrel/export.h"

namespace kestrel {
class Env;
}  // namespace kestrel

namespace kestrel::store {

class Connection;

// How long a wait for a lock another program holds lasts unless told
// otherwise: a writer's (an import's) wait for the store's write lock, and
// every statement's wait for the store or one of its tables.
inline constexpr int kDefaultLockWaitSeconds = 30;

// Opens an existing store. A missing store file fails with 53
// "File not found: " + path and is never created. Every statement on it
// (the first read of the store's schema on opening too) waits at most
// `lock_wait_seconds` for a lock another program holds on the store or a
// table, then fails with error 9031 naming what it waited for.
KESTREL_API std::shared_ptr<Connection> Open(const std::string& location,
                                             int lock_wait_seconds = kDefaultLockWaitSeconds);
// Creates a new empty store; fails with 58 when the file exists (on a
// server: when the store's tables are in the schema already).
KESTREL_API std::shared_ptr<Connection> Create(const std::string& location);
// Creates a new store holding the empty schema (fails with 58 when it exists).
KESTREL_API std::shared_ptr<Connection> CreateStore(const std::string& location);

// Removes a store that CreateStore made moments ago and whose filling failed,
// so that the next attempt starts clean: the file with its journals, or on a
// server the store's tables. Never for a store that held anything before.
KESTREL_API void DiscardNewStore(const std::string& location);

// Whether `location` names a store on a server ("postgresql://" or
// "postgres://", in any case, or key=value pairs: its first word is a
// keyword followed by "=") rather than a store file. A store file whose name
// has that shape is named with its folder ("./dbname=x.db").
KESTREL_API bool IsServerLocation(std::string_view location);

// The location as a message may show it: a server location with its
// passwords (a URI's user part, and the value of every parameter whose name
// holds "password", sslpassword among them) replaced by "***"; a file path
// as it is.
KESTREL_API std::string MaskedLocation(const std::string& location);
// A free text that may quote server locations anywhere in it (an error, a
// usage message) with their passwords replaced by "***" as MaskedLocation
// replaces them.
KESTREL_API std::string MaskedText(const std::string& text);

// Fills a store that holds the empty schema, in one transaction. `scale`
// (1 or more) multiplies the mapping objects with their rules and revisions
// and the application rows; scale 100 gives tens of thousands of rows.
KESTREL_API void FillDemoStore(Connection& c, int scale);
// Copies the shared reference data of another store, the codes (qzlgy115)
// and the users (qzusr100), in their stored order, into `target`. Columns are
// matched by name; a column the other store lacks stays NULL.
KESTREL_API void CopySharedReferenceData(Connection& target, Connection& other);
// The number of rows of every table, in the schema's order.
KESTREL_API std::vector<std::pair<std::string_view, int64_t>> RowCounts(Connection& c);

// What a store that cannot be written answers to a bulk load.
inline constexpr int32_t kNoBulkRights = 100;
inline constexpr std::string_view kNoBulkRightsText = "Does not have rights to do bulk inserts";

struct BulkLoadOptions {
  int64_t rows_per_batch = 1000;
  // The table's log (rows read, rows loaded, batches committed) and error
  // file (the rejected line's number, its text and the reason; empty when no
  // row was rejected). Both are created before the first row is read; an
  // empty path writes no file.
  std::string log_path;
  std::string error_path;
  // Called after every committed batch with the rows loaded so far (inside
  // the caller's transaction, whose batches commit nothing, as each batch's
  // rows reach the store), never with fewer rows than the call before.
  std::function<void(int64_t rows)> progress;
};

struct BulkLoadCounts {
  int64_t rows_read = 0;    // lines read, a rejected one included
  int64_t rows_loaded = 0;  // rows kept in the store
  int64_t batches = 0;      // batches committed
};

// Rows added to and deleted from one table.
struct RowChange {
  int64_t added = 0;
  int64_t deleted = 0;
};
// Per table name.
using RowChangeCounts = std::map<std::string, RowChange, std::less<>>;

// The character between the fields of a data file's row.
inline constexpr char kDataFieldSeparator = '\x01';

// Loads a data file (fields split by kDataFieldSeparator, rows ended by CR
// LF), read through `env`, into `table`;
// a store that cannot be written refuses with kNoBulkRights.
KESTREL_API BulkLoadCounts BulkLoadFile(Env& env, Connection& c, std::string_view table, const std::string& data_file,
                                        const BulkLoadOptions& options);

}  // namespace kestrel::store
