// Test stores for the export tests.
#include "exporter/export_store.h"

#include <algorithm>
#include <filesystem>
#include <regex>

#include "base/cipher.h"
#include "base/files.h"
#include "pack/naming.h"
#include "pack/sums.h"
#include "pack/record_reader.h"
#include "store/schema.h"

namespace kestrel::testing {
namespace {

std::string Q(const std::string& s) { return "'" + s + "'"; }
std::string Q(const std::optional<std::string>& s) { return s ? Q(*s) : "NULL"; }

std::string Key(int mprf, const TestVrc& v) {
  return std::to_string(mprf) + "," + Q(v.vers) + "," + Q(v.rele) + "," + Q(v.cust);
}

std::string Object(const TestObject& o) { return Q(o.pac) + "," + Q(o.mod) + "," + Q(o.flno); }

}  // namespace

ExportStore::ExportStore() {
  root_ = folder_ / "root";
  std::filesystem::create_directories(root_);
  conn_ = store::CreateStore(folder_ / "store.db");
}

void ExportStore::Exec(const std::string& sql) { conn_->Execute(sql); }

int64_t ExportStore::Count(const std::string& sql) {
  auto rs = conn_->OpenRecordset(sql);
  return rs->Fields(0).Integer();
}

void ExportStore::AddApplication(const std::string& appl, int extn) {
  Exec("insert into qzddi100 (appl, dsca, aver, crdt, extn) values (" + Q(appl) + ", 'Application " + appl +
       "', '4.2', '2021-03-04 10:00:00', " + std::to_string(extn) + ")");
  if (extn == 0) {
    Exec("insert into qzddi101 (appl, cpac, cmod, flno, dsca, rlen) values (" + Q(appl) +
         ", 'GL', 'ACCT', '001', 'Accounts', '120')");
    Exec("insert into qzlgy141 (appl, cpac, cmod, flno, fldn, fdsc, flen) values (" + Q(appl) +
         ", 'GL', 'ACCT', '001', 'ACNO', 'Account number', '10')");
    Exec("insert into qzlgy150 (appl, grpn, dsca, seqn) values (" + Q(appl) + ", 'FIN', 'Finance', '1')");
  } else {
    Exec("insert into qzddi150 (appl, cpac, cmod, flno, fldn, fdsc, ftyp, flen) values (" + Q(appl) +
         ", 'AR', 'CUST', '010', 'CUNO', 'Customer', 'A', '8')");
    Exec("insert into qzddi160 (appl, domn, dval, dsca) values (" + Q(appl) + ", 'YN', 'Y', 'Yes')");
    Exec("insert into qzddi200 (appl, cpac, cmod, flno, kseq, fldn) values (" + Q(appl) +
         ", 'AR', 'CUST', '010', '1', 'CUNO')");
    Exec("insert into qzddi220 (appl, cpac, cmod, flno, rpac, rmod, rfln) values (" + Q(appl) +
         ", 'AR', 'CUST', '010', 'GL', 'ACCT', '001')");
    Exec("insert into qzddi230 (appl, grpn, cpac, cmod, flno, seqn) values (" + Q(appl) +
         ", 'SALES', 'AR', 'CUST', '010', '1')");
  }
}

void ExportStore::AddObject(const std::string& appl, int extn, const TestObject& o) {
  Exec(std::string("insert into ") + (extn == 1 ? "qzddi140" : "qzlgy140") +
       " (appl, cpac, cmod, flno, dsca, ftyp) values (" + Q(appl) + "," + Object(o) + ", 'Object " + o.Name() +
       "', 'F')");
}

void ExportStore::AddProfile(const TestProfile& p, const std::vector<const TestProfile*>& ancestors) {
  std::string owner = "NULL";
  if (p.owner) {
    std::string enciphered;
    EncipherForStore(*p.owner, enciphered);
    owner = "cast(" + Q(enciphered) + " as blob)";
  }
  std::string base = p.base ? Q(p.base->vers) + "," + Q(p.base->rele) + "," + Q(p.base->cust) : "NULL,NULL,NULL";
  Exec("insert into qzmap100 (mprf, sapp, tapp, vers, rele, cust, verf, relf, cusf, dsca, scme, deph, ownr, apln) "
       "values (" + std::to_string(p.mprf) + "," + Q(p.sapp) + "," + Q(p.tapp) + "," + Q(p.vrc.vers) + "," +
       Q(p.vrc.rele) + "," + Q(p.vrc.cust) + "," + base + ", 'Profile " + std::to_string(p.mprf) + "', " +
       Q(p.scme) + ", " + std::to_string(ancestors.size() + 1) + ", " + owner + ", 'Conversion')");
  std::vector<const TestProfile*> chain{&p};
  chain.insert(chain.end(), ancestors.begin(), ancestors.end());
  for (size_t level = 0; level < chain.size(); ++level)
    Exec("insert into qzmap101 (mprf, levl, vers, rele, cust, pprf) values (" + std::to_string(p.mprf) + "," +
         std::to_string(level + 1) + "," + Q(chain[level]->vrc.vers) + "," + Q(chain[level]->vrc.rele) + "," +
         Q(chain[level]->vrc.cust) + "," + std::to_string(chain[level]->mprf) + ")");
}

void ExportStore::AddDevelopmentVrc(const TestProfile& p, const TestVrc& dev) {
  Exec("insert into qzmap105 (mprf, vers, rele, cust, dver, drel, dcus) values (" + Key(p.mprf, p.vrc) + "," +
       Q(dev.vers) + "," + Q(dev.rele) + "," + Q(dev.cust) + ")");
}

void ExportStore::AddRule120(int mprf, const TestVrc& vrc, const TestObject& o, const std::string& text,
                             std::optional<std::string> logn, std::optional<std::string> isms) {
  Exec("insert into qzmap120 (mprf, vers, rele, cust, tcpac, tcmod, tflno, txtn, prtx, stat, vari, stbl, comt, "
       "isms, ldat, logn, lusr) values (" + Key(mprf, vrc) + "," + Object(o) + ", 'Note of " + text + "', " +
       Q(text) + ", 'A', 'V1', 'S', 'Comment\r\nsecond line', " + Q(isms) + ", '2022-05-06 07:08:09', " + Q(logn) +
       ", 'planner')");
}

void ExportStore::AddOtherRules(int mprf, const TestVrc& vrc, const TestObject& o, const std::string& text) {
  Exec("insert into qzmap130 (mprf, vers, rele, cust, tcpac, tcmod, tflno, scpac, scmod, sflno, icod, qury, txtn) "
       "values (" + Key(mprf, vrc) + "," + Object(o) + ", 'SP', 'SM', '002', 'I', " + Q(text) + ", 'q')");
  Exec("insert into qzmap140 (mprf, vers, rele, cust, tcpac, tcmod, tflno, dnum, fdnm, mrul, type, stat, txtn) "
       "values (" + Key(mprf, vrc) + "," + Object(o) + ", 3, 'FIELD', " + Q(text) + ", 1, 'A', 't')");
  Exec("insert into qzmap160 (mprf, vers, rele, cust, tcpac, tcmod, tflno, func, txtn) values (" + Key(mprf, vrc) +
       "," + Object(o) + "," + Q(text) + ", 'f')");
  Exec("insert into qzmap170 (mprf, vers, rele, cust, bpac, bmod, bflno, cpac, cmod, cflno) values (" +
       Key(mprf, vrc) + ", 'BP', 'BM', " + Q(text) + "," + Object(o) + ")");
}

void ExportStore::AddRevisionInfo(int mprf, const TestVrc& vrc, const TestObject& o, const std::string& text,
                                  bool null_sdat) {
  Exec("insert into qzmap110 (mprf, vers, rele, cust, tcpac, tcmod, tflno, revi, rinf, isid, sdat, pexp, logn) "
       "values (" + Key(mprf, vrc) + "," + Object(o) + ", 1, " + Q(text) + ", 'ISS-1', " +
       (null_sdat ? std::string("NULL") : Q(std::string("2022-01-02 03:04:05"))) + ", 0, 'planner')");
}

void ExportStore::AddRevisionTwins(int mprf, const TestVrc& vrc, const TestObject& o, const std::string& text) {
  Exec("insert into qzmap125 (mprf, vers, rele, cust, tcpac, tcmod, tflno, revi, txtn, prtx, vari, csta, stbl, "
       "isms, comt, logn) values (" + Key(mprf, vrc) + "," + Object(o) + ", 1, 't', " + Q(text) +
       ", 'V', 'C', 'S', NULL, 'c', 'planner')");
  Exec("insert into qzmap135 (mprf, vers, rele, cust, tcpac, tcmod, tflno, scpac, scmod, sflno, icod, revi, qury, "
       "logn, csta, txtn) values (" + Key(mprf, vrc) + "," + Object(o) + ", 'SP', 'SM', '002', 'I', 1, " + Q(text) +
       ", 'planner', 'C', 't')");
  Exec("insert into qzmap145 (mprf, vers, rele, cust, tcpac, tcmod, tflno, dnum, fdnm, revi, mrul, type, logn, "
       "stat, csta, txtn) values (" + Key(mprf, vrc) + "," + Object(o) + ", 3, 'FIELD', 1, " + Q(text) +
       ", 1, 'planner', 'A', 'C', 't')");
  Exec("insert into qzmap165 (mprf, vers, rele, cust, tcpac, tcmod, tflno, revi, func, logn, csta, txtn) values (" +
       Key(mprf, vrc) + "," + Object(o) + ", 1, " + Q(text) + ", 'planner', 'C', 't')");
  Exec("insert into qzmap175 (mprf, vers, rele, cust, bpac, bmod, bflno, revi, cpac, cmod, cflno, logn) values (" +
       Key(mprf, vrc) + "," + Object(o) + ", 1, 'CP', " + Q(text) + ", '009', 'planner')");
}

void ExportStore::AddRevisions(int mprf, const TestVrc& vrc, const TestObject& o, const std::string& text,
                               bool null_sdat) {
  AddRevisionInfo(mprf, vrc, o, text, null_sdat);
  AddRevisionTwins(mprf, vrc, o, text);
}

std::unique_ptr<Kestrel20ImpExp::clsExport> NewExport(const ExportStore& store, int16_t mprf, bool single,
                                                      kestrel::Env& env) {
  auto e = std::make_unique<Kestrel20ImpExp::clsExport>(env);
  e->putref_DataConnection(store.connection());
  e->put_MigrationProfileTobeExported(mprf);
  e->put_Path(store.root());
  e->put_ExportToSingleProfile(single);
  return e;
}

std::vector<Record> RecordsOf(const std::string& pack_folder, const pack::TaggedLayout& layout, bool for_sync) {
  pack::ReadOptions options;
  options.for_sync = for_sync;
  auto in = pack::TaggedRecordReader::Open(Env::Default(), pack_folder, layout, options);
  std::vector<Record> out;
  pack::TaggedRecord r;
  while (in->Next(r)) {
    Record rec;
    for (size_t i = 0; i < layout.fields.size(); ++i)
      if (r.IsSet(i)) rec[std::string(layout.fields[i].column)] = r.Text(i);
    out.push_back(std::move(rec));
  }
  return out;
}

std::vector<std::string> ColumnOf(const std::vector<Record>& records, const std::string& column) {
  std::vector<std::string> out;
  for (const auto& r : records) {
    auto it = r.find(column);
    out.push_back(it == r.end() ? "<unset>" : it->second);
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::string> LinesOf(const std::string& path) {
  std::string text = kestrel::testing::ReadFile(path);
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) {
      lines.push_back(text.substr(pos));
      break;
    }
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

std::vector<std::string> ListedFiles(const std::string& pack_folder) {
  auto lines = LinesOf(files::Join(pack_folder, pack::kManifestFile));
  std::vector<std::string> out;
  auto begin = std::find(lines.begin(), lines.end(), "--TESTFILES--");
  auto end = std::find(lines.begin(), lines.end(), "--END TESTFILES--");
  if (begin == lines.end() || end == lines.end()) return out;
  out.assign(begin + 1, end);
  return out;
}

std::vector<std::string> FilesIn(const std::string& pack_folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(pack_folder)) {
    std::string name = entry.path().filename().string();
    if (name != pack::kManifestFile && name != pack::kSumsFile) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> ProgressTexts(const std::string& pack_folder) {
  static const std::regex stamp(R"(\d{4}-\d{2}-\d{2}   \d{2}:\d{2}:\d{2}$)");
  std::vector<std::string> out;
  for (const auto& line : LinesOf(files::Join(pack_folder, pack::kManifestFile)))
    if (!line.empty() && line[0] == '\t') out.push_back(std::regex_replace(line.substr(1), stamp, "<time>"));
  return out;
}

}  // namespace kestrel::testing
