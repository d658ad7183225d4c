// l: the listing.
#include "ChapterCommentText.h"
#include "EnvelopeText.h"
#include "Listing.h"
#include "MemberNames.h"
#include "MemberSelection.h"
#include "Run.h"

namespace jar32::cli {

void runList(RunContext& run) {
  const Invocation& inv = run.inv;
  const Options& o = inv.options;
  OpenOptions options = openOptionsOf(o);
  keepSelectedChapters(o.chapters, options);
  auto archive = Archive::open(inv.archive, passwordOf(o), options);
  const ArchiveInfo& info = archive->info();
  const auto& members = archive->members();
  const ChapterRange range = selectChapters(o.chapters, info.chapterCount);
  const MemberSelection selection(inv.names);

  ListingHeader h;
  h.archivePath = absoluteArchivePath(run, inv.archive);
  h.formatVersion = info.formatVersion;
  h.chapterCount = info.chapterCount;
  h.memberCount = info.versionCount;
  h.created = info.created;
  h.modified = info.modified;
  h.flags = info.flags;
  h.comment = info.comment;
  h.firstChapter = range.first;
  h.lastChapter = range.last;
  h.packedBytes = info.packedBytes;
  h.secured = info.envelope.present;
  h.envelopeTested = info.envelope.verified;
  if (h.secured) h.signature = signatureText(info.envelope);
  std::vector<const MemberInfo*> shown;
  shown.reserve(members.size());
  h.unpackedBytes = info.unpackedBytes;
  for (const MemberInfo& m : members) {
    if (m.chapters.first > range.last || m.chapters.last < range.first) continue;
    const bool folder = m.kind == MemberKind::Folder;
    if (!selection.matches(m.name, folder)) continue;
    if (!o.excludes.empty() && memberExcluded(o.excludes, m.name, folder)) continue;
    shown.push_back(&m);
  }
  printListing(h, shown, run.out);
  if (o.showChapterComments) printChapterComments(info.chapterComments, range, run.out);
  if (info.directoryRebuilt)
    run.report.problem(kCrcError, "the archive's directory is damaged; its members were found by scanning (rh rebuilds the archive)");
}

}  // namespace jar32::cli
