// The spooled text of the export manifest.
#include "base/spooled_text.h"

#include <utility>

namespace kestrel {

SpooledText::~SpooledText() { CloseSpool(); }

SpooledText& SpooledText::operator+=(std::string_view text) {
  text_ += text;
  if (!spool_path_.empty() && !text_.empty() && text_.size() >= threshold_) Spill();
  return *this;
}

void SpooledText::Spill() {
  if (file_.empty()) {
    spool_ = files::TextWriter::Create(*env_, spool_path_);
    file_ = spool_path_;  // from here on the file is ours to delete
    if (held_) {
      files::AppendRestTo(*held_, *spool_);
      held_.reset();
    }
  }
  spool_->Write(text_);
  text_.clear();
}

void SpooledText::SpoolTo(std::string path) {
  if (!file_.empty() && file_ != path) {
    // Already spooling elsewhere: the text moves along.
    Unspool();
  }
  spool_path_ = std::move(path);
  if (held_) {
    std::string rest = std::move(text_);
    text_.clear();
    Spill();
    text_ = std::move(rest);
  }
}

void SpooledText::clear() {
  CloseSpool();
  held_.reset();
  text_.clear();
}

void SpooledText::TakeHeld() const {
  if (!held_) return;
  text_.insert(0, files::ReadRest(*held_));
  held_.reset();
}

std::string SpooledText::str() const {
  TakeHeld();
  if (file_.empty()) return text_;
  if (spool_) spool_->Flush();
  return files::ReadWholeFile(*env_, file_) + text_;
}

void SpooledText::WriteWithFront(std::string_view front, files::TextWriter& out) {
  out.Write(front);
  const bool in_memory = !held_ && file_.empty();
  if (held_) {
    files::AppendRestTo(*held_, out);
    held_.reset();
  }
  if (!file_.empty()) {
    if (spool_) spool_->Flush();
    files::AppendFileTo(*env_, file_, out);
  }
  out.Write(text_);
  out.Close();
  spool_path_.clear();
  if (in_memory) {
    text_.insert(0, front);
  } else {
    CloseSpool();
    text_.clear();
    held_ = env_->OpenForReading(out.path());
  }
}

void SpooledText::Unspool() noexcept {
  spool_path_.clear();
  if (file_.empty()) return;
  try {
    if (spool_) spool_->Close();
    text_.insert(0, files::ReadWholeFile(*env_, file_));
  } catch (...) {
  }
  CloseSpool();
}

void SpooledText::CloseSpool() noexcept {
  if (spool_) {
    try {
      spool_->Close();
    } catch (...) {
    }
    spool_.reset();
  }
  if (!file_.empty()) {
    try {
      env_->DeleteFile(file_);
    } catch (...) {
    }
    file_.clear();
  }
}

}  // namespace kestrel
