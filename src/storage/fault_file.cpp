#include "storage/fault_file.h"

#include "storage/error.h"

namespace storage {
namespace {

class FaultFile final : public File {
 public:
  FaultFile(std::unique_ptr<File> inner, FaultFileSystem& fs) : inner_(std::move(inner)), fs_(fs) {}

  int64_t read_at(int64_t pos, void* buf, size_t n) override {
    notify(FaultFileSystem::kRead, pos, static_cast<int64_t>(n));
    if (fs_.should_fail(FaultFileSystem::kRead)) {
      if (fs_.how() == FaultFileSystem::How::error || n < 2) return kHardwareFault;
      return inner_->read_at(pos, buf, n / 2);
    }
    return inner_->read_at(pos, buf, n);
  }
  int64_t write_at(int64_t pos, const void* buf, size_t n) override {
    notify(FaultFileSystem::kWrite, pos, static_cast<int64_t>(n));
    if (fs_.should_fail(FaultFileSystem::kWrite)) {
      if (fs_.how() == FaultFileSystem::How::error || n < 2) return kDiskFull;
      return inner_->write_at(pos, buf, n / 2);
    }
    return inner_->write_at(pos, buf, n);
  }
  int64_t length() override { return inner_->length(); }
  int truncate(int64_t length) override {
    notify(FaultFileSystem::kTruncate, length, 0);
    if (fs_.should_fail(FaultFileSystem::kTruncate)) return kHardwareFault;
    return inner_->truncate(length);
  }
  int lock(int64_t pos, int64_t len) override {
    notify(FaultFileSystem::kLock, pos, len);
    if (fs_.should_fail(FaultFileSystem::kLock)) return kLockViolation;
    return inner_->lock(pos, len);
  }
  int unlock(int64_t pos, int64_t len) override { return inner_->unlock(pos, len); }

 private:
  void notify(FaultFileSystem::Kind kind, int64_t pos, int64_t len) {
    if (fs_.before_call) fs_.before_call(kind, pos, len);
  }

  std::unique_ptr<File> inner_;
  FaultFileSystem& fs_;
};

}  // namespace

int FaultFileSystem::open(const std::string& path, OpenMode mode, ShareMode share,
                          std::unique_ptr<File>* out) {
  std::unique_ptr<File> inner;
  int rc = inner_.open(path, mode, share, &inner);
  if (rc != 0) return rc;
  *out = std::make_unique<FaultFile>(std::move(inner), *this);
  return 0;
}

}  // namespace storage
