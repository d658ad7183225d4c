// Placeholder bodies until the engine lands; every call fails cleanly.
#include "jar32/Archive.h"
#include "jar32/Changes.h"
#include "jar32/Interrupt.h"

namespace jar32 {
namespace {
[[noreturn]] void notYet() { throw JarError(kInternal, "jar32 engine: not implemented yet"); }
}  // namespace
class ArchiveReader {};
Archive::Archive(std::unique_ptr<ArchiveReader> r) : reader_(std::move(r)) {}
Archive::~Archive() = default;
std::unique_ptr<Archive> Archive::open(const std::string&, const std::string&) { notYet(); }
const ArchiveInfo& Archive::info() const { notYet(); }
const std::vector<MemberInfo>& Archive::members() const { notYet(); }
void Archive::read(const std::vector<size_t>&, MemberVisitor&, bool) { notYet(); }
void Archive::test(Progress*) { notYet(); }
AddReport addFiles(const std::string&, const std::vector<SourceFile>&, AddMode, bool, bool,
                   ChapterCompare, const WriteSettings&, Progress*) { notYet(); }
size_t deleteMembers(const std::string&, const std::function<bool(const MemberInfo&)>&, bool,
                     const WriteSettings&, Progress*) { notYet(); }
void deleteChapters(const std::string&, ChapterRange, const WriteSettings&, Progress*) { notYet(); }
void copyArchive(const std::string&, const std::string&, const WriteSettings&, Progress*) { notYet(); }
size_t recoverHeader(const std::string&, const std::string&, const std::string&, Progress*) { notYet(); }
void installInterruptHandlers() {}
bool registerCleanupPath(const char*) { return true; }
void unregisterCleanupPath(const char*) {}
void removeStaleTemporaries(const char*) {}
}  // namespace jar32
