// What import tests read back after a step: the run log's messages and a
// profile's chain rows.
#pragma once

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "base/files.h"
#include "store/connection.h"

namespace kestrel::testing {

// The messages of a run log without the date and time in front
// ("YYYY-MM-DD HH:MM:SS "); none when the log does not exist.
inline std::vector<std::string> RunLogMessages(const std::string& path) {
  std::vector<std::string> out;
  if (!files::FileExists(Env::Default(), path)) return out;
  auto in = files::TextReader::Open(Env::Default(), path);
  std::string line;
  while (in->ReadLine(line)) out.push_back(line.size() >= 20 ? line.substr(20) : line);
  return out;
}

// (levl, vers, rele, cust, pprf) of one chain row.
using ChainRow = std::tuple<int64_t, std::string, std::string, std::string, int64_t>;

// A profile's chain rows, nearest level first.
inline std::vector<ChainRow> ChainRows(store::Connection& c, int64_t mprf) {
  std::vector<ChainRow> rows;
  auto rs = c.OpenRecordset("select levl, vers, rele, cust, pprf from qzmap101 where mprf = " +
                            std::to_string(mprf) + " order by levl");
  for (; !rs->IsEOF(); rs->MoveNext())
    rows.emplace_back(rs->Fields("levl").Integer(), rs->Fields("vers").Text(), rs->Fields("rele").Text(),
                      rs->Fields("cust").Text(), rs->Fields("pprf").Integer());
  return rows;
}

}  // namespace kestrel::testing
