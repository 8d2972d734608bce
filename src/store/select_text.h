// What the recordsets of every backend read from the text of a select
// itself: whether it is a "select * from ..." that can fetch the row's
// identity unseen, and that text.
#pragma once

#include <string>
#include <string_view>

namespace kestrel::store {

// The text of a "select * from ..." with ",<rowid>" after its "*" (the
// backend's column that identifies a stored row); "" for any other text.
std::string SelectAllWithRowId(std::string_view statement, std::string_view rowid);

}  // namespace kestrel::store
