#include "jar32/Archive.h"

#include "Reader.h"

namespace jar32 {

Archive::Archive(std::unique_ptr<ArchiveReader> reader) : reader_(std::move(reader)) {}
Archive::~Archive() = default;

std::unique_ptr<Archive> Archive::open(const std::string& path, const std::string& password,
                                       const OpenOptions& options) {
  ChapterRange keep = options.chapters;
  if (options.lastChapterOnly) keep = {kLastChapter, kLastChapter};
  return std::unique_ptr<Archive>(new Archive(
      ArchiveReader::open(path, password, false, options.testEnvelope, options.records, keep)));
}

const ArchiveInfo& Archive::info() const { return reader_->info(); }
const std::vector<MemberInfo>& Archive::members() const { return reader_->members(); }

void Archive::read(const std::vector<size_t>& which, MemberVisitor& visitor, bool skipBroken) {
  reader_->read(which, visitor, skipBroken);
}

void Archive::test(Progress* progress) { reader_->test(progress); }

}  // namespace jar32
