// The spooled text of the export manifest.
#include "base/spooled_text.h"

#include <ostream>
#include <utility>

namespace kestrel {

SpooledText::~SpooledText() { CloseSpool(); }

SpooledText& SpooledText::operator+=(std::string_view text) {
  text_ += text;
  if (!spool_path_.empty() && !text_.empty() && text_.size() >= threshold_) Spill();
  return *this;
}

void SpooledText::Spill() {
  if (!owned_) {
    auto spool = files::TextWriter::Create(*env_, spool_path_);
    const std::string borrowed = std::exchange(file_, spool_path_);
    owned_ = true;  // from here on the file is ours to delete
    spool_ = std::move(spool);
    if (!borrowed.empty()) files::AppendFileTo(*env_, borrowed, *spool_);
  }
  spool_->Write(text_);
  text_.clear();
}

void SpooledText::SpoolTo(std::string path) {
  if (owned_ && file_ != path) {
    // Already spooling elsewhere: the text moves along.
    Unspool();
  }
  spool_path_ = std::move(path);
  if (!file_.empty() && !owned_) {
    std::string rest = std::move(text_);
    text_.clear();
    Spill();
    text_ = std::move(rest);
  }
}

void SpooledText::clear() {
  CloseSpool();
  file_.clear();
  text_.clear();
}

std::string SpooledText::str() const {
  if (file_.empty()) return text_;
  if (spool_) spool_->Flush();
  return files::ReadWholeFile(*env_, file_) + text_;
}

void SpooledText::WriteWithFront(std::string_view front, files::TextWriter& out) {
  out.Write(front);
  if (!file_.empty()) {
    if (spool_) spool_->Flush();
    files::AppendFileTo(*env_, file_, out);
  }
  out.Write(text_);
  out.Close();
  spool_path_.clear();
  if (file_.empty()) {
    text_.insert(0, front);
  } else {
    CloseSpool();
    file_ = out.path();
    owned_ = false;
    text_.clear();
  }
}

void SpooledText::Unspool() noexcept {
  spool_path_.clear();
  if (!owned_) return;
  try {
    if (spool_) spool_->Close();
    text_.insert(0, files::ReadWholeFile(*env_, file_));
  } catch (...) {
  }
  CloseSpool();
  file_.clear();
}

void SpooledText::CloseSpool() noexcept {
  if (spool_) {
    try {
      spool_->Close();
    } catch (...) {
    }
    spool_.reset();
  }
  if (owned_) {
    try {
      env_->DeleteFile(file_);
    } catch (...) {
    }
    owned_ = false;
  }
}

void PrintTo(const SpooledText& text, std::ostream* os) {
  try {
    *os << '"' << text.str() << '"';
  } catch (...) {
    *os << "(unreadable spooled text)";
  }
}

}  // namespace kestrel
