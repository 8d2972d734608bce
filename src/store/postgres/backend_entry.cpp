// What the server backend library gives store::Open when it is loaded.
#include "kestrel/export.h"
#include "store/postgres/connection.h"
#include "store/server_backend.h"

extern "C" KESTREL_API const kestrel::store::ServerBackend* kestrel_server_backend() {
  static const kestrel::store::ServerBackend backend{&kestrel::store::postgres::PostgresConnection::Open,
                                                     &kestrel::store::postgres::PostgresConnection::Create};
  return &backend;
}
