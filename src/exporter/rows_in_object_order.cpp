// RowsInObjectOrder. A record is kept as its place, the lengths of the
// record and its note (four bytes each, in the machine's order: the files
// never leave this process) and their bytes, in memory and in run files
// alike. Runs are written in the order they fill, so that among records of
// one place the earlier run's come first, and those still held last. Each
// run read holds a piece of its file in memory and a file open: past
// kMostRuns, the runs are merged into one before the next is written.
#include "exporter/rows_in_object_order.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "base/errors_ours.h"
#include "base/files.h"

namespace kestrel::exporter {
namespace {

constexpr size_t kHead = 3 * sizeof(uint32_t);
constexpr size_t kReadPiece = 4 * 1024;
constexpr size_t kWritePiece = 64 * 1024;

uint32_t Length(size_t n) {
  if (n > std::numeric_limits<uint32_t>::max()) Raise(Ours::Internal, "A record of over 4 GiB to put in order");
  return static_cast<uint32_t>(n);
}

// The place, record and note of the entry at `at` of `bytes`.
void ReadEntry(std::string_view bytes, uint32_t& place, std::string_view& record, std::string_view& note) {
  uint32_t head[3];
  std::memcpy(head, bytes.data(), kHead);
  place = head[0];
  record = bytes.substr(kHead, head[1]);
  note = bytes.substr(kHead + head[1], head[2]);
}

}  // namespace

void AppendEntry(std::string& out, uint32_t place, std::string_view record, std::string_view note) {
  const uint32_t head[3] = {place, Length(record.size()), Length(note.size())};
  out.append(reinterpret_cast<const char*>(head), kHead);
  out.append(record);
  out.append(note);
}

EntryReader::EntryReader(Env& env, const std::string& path) : in_(env.OpenForReading(path)), path_(path) {}

bool EntryReader::Load() {
  if (!Fill(kHead)) return false;
  uint32_t head[3];
  std::memcpy(head, buffer_.data() + at_, kHead);
  const size_t size = kHead + head[1] + head[2];
  if (!Fill(size)) Raise(Ours::Internal, "The file " + path_ + " ends inside an entry");
  entry_.assign(buffer_, at_, size);
  at_ += size;
  ReadEntry(entry_, place, record, note);
  return true;
}

bool EntryReader::Fill(size_t n) {
  if (buffer_.size() - at_ >= n) return true;
  buffer_.erase(0, at_);
  at_ = 0;
  while (buffer_.size() < n) {
    const size_t had = buffer_.size();
    buffer_.resize(had + std::max(kReadPiece, n - had));
    const size_t got = in_->Read(buffer_.data() + had, buffer_.size() - had);
    buffer_.resize(had + got);
    if (got == 0) {
      if (!buffer_.empty()) Raise(Ours::Internal, "The file " + path_ + " ends inside an entry");
      return false;
    }
  }
  return true;
}

RowsInObjectOrder::RowsInObjectOrder(Env& env, std::string run_prefix, size_t memory)
    : env_(env), prefix_(std::move(run_prefix)), memory_(memory) {}

RowsInObjectOrder::~RowsInObjectOrder() {
  runs_.clear();
  for (const auto& path : files_) try {
      env_.DeleteFile(path);
    } catch (...) {
    }
}

void RowsInObjectOrder::Add(uint32_t place, std::string_view record, std::string_view note) {
  if (reading_) Raise(Ours::Internal, "A record added to records being read");
  order_.emplace_back(place, Length(held_.size()));
  AppendEntry(held_, place, record, note);
  if (held_.size() >= memory_) WriteRun();
}

void RowsInObjectOrder::Release() {
  if (!order_.empty()) WriteRun();
}

void RowsInObjectOrder::WriteRun() {
  if (files_.size() == kMostRuns) MergeRuns();
  std::stable_sort(order_.begin(), order_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  files_.push_back(prefix_ + std::to_string(++made_));
  auto out = files::TextWriter::Create(env_, files_.back());
  std::string piece;
  for (const auto& [place, at] : order_) {
    uint32_t head[3];
    std::memcpy(head, held_.data() + at, kHead);
    piece.append(held_, at, kHead + head[1] + head[2]);
    if (piece.size() >= kWritePiece) {
      out->Write(piece);
      piece.clear();
    }
  }
  out->Write(piece);
  out->Close();
  held_.clear();
  held_.shrink_to_fit();
  order_.clear();
  order_.shrink_to_fit();
}

void RowsInObjectOrder::MergeRuns() {
  std::vector<std::unique_ptr<EntryReader>> runs;
  for (const auto& path : files_) {
    runs.push_back(std::make_unique<EntryReader>(env_, path));
    if (!runs.back()->Load()) runs.back().reset();
  }
  const std::string merged = prefix_ + std::to_string(++made_);
  auto out = files::TextWriter::Create(env_, merged);
  std::string piece;
  for (size_t at; (at = Lowest(runs)) != SIZE_MAX;) {
    AppendEntry(piece, runs[at]->place, runs[at]->record, runs[at]->note);
    if (piece.size() >= kWritePiece) {
      out->Write(piece);
      piece.clear();
    }
    if (!runs[at]->Load()) runs[at].reset();
  }
  out->Write(piece);
  out->Close();
  runs.clear();
  for (const auto& path : files_) env_.DeleteFile(path);
  files_.assign(1, merged);
}

size_t RowsInObjectOrder::Lowest(const std::vector<std::unique_ptr<EntryReader>>& runs) {
  size_t lowest = SIZE_MAX;
  for (size_t i = 0; i < runs.size(); ++i)
    if (runs[i] && (lowest == SIZE_MAX || runs[i]->place < runs[lowest]->place)) lowest = i;
  return lowest;
}

void RowsInObjectOrder::StartReading() {
  reading_ = true;
  std::stable_sort(order_.begin(), order_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& path : files_) {
    runs_.push_back(std::make_unique<EntryReader>(env_, path));
    if (!runs_.back()->Load()) runs_.back().reset();
  }
}

bool RowsInObjectOrder::NextIsAt(uint32_t place) {
  if (!peeked_) {
    peeked_ = true;
    has_peeked_ = Advance();
  }
  return has_peeked_ && place_ == place;
}

bool RowsInObjectOrder::Next() {
  if (peeked_) {
    peeked_ = false;
    return has_peeked_;
  }
  return Advance();
}

bool RowsInObjectOrder::Advance() {
  if (!reading_) StartReading();
  // The run whose entry was handed out last moves on first: the entry
  // stayed valid until now.
  if (last_ < runs_.size() && runs_[last_] && !runs_[last_]->Load()) runs_[last_].reset();
  last_ = Lowest(runs_);
  const bool held = memory_at_ < order_.size();
  if (held && (last_ == SIZE_MAX || order_[memory_at_].first < runs_[last_]->place)) {
    last_ = SIZE_MAX;
    ReadEntry(std::string_view(held_).substr(order_[memory_at_].second), place_, record_, note_);
    ++memory_at_;
    return true;
  }
  if (last_ == SIZE_MAX) return false;
  place_ = runs_[last_]->place;
  record_ = runs_[last_]->record;
  note_ = runs_[last_]->note;
  return true;
}

}  // namespace kestrel::exporter
