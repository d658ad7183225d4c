#include "SameContent.h"

#include <sodium.h>

#include <array>
#include <atomic>
#include <map>
#include <thread>
#include <unordered_map>

#include "Checksum.h"
#include "HostFile.h"

namespace jar32 {
namespace {

// Below this a copy costs less in the compressed stream than a record pointing back at it.
constexpr uint64_t kSmallest = 64;

using Digest = std::array<uint8_t, 32>;

struct Hashed {
  Digest digest{};  // not for files whose bytes are held: those are compared themselves
  uint64_t checksum;
};

// The file's content as it is now, if it is still the file that was checked (a small file's
// as it was read then).
bool hashFile(const NewEntry& e, Hashed& out) {
  if (e.content) {
    if (e.content->size() != e.info.size) return false;
    ContentHash xxh;
    xxh.update(e.content->data(), e.content->size());
    out.checksum = xxh.digest();
    return true;
  }
  try {
    HostFile f = HostFile::open(e.hostPath);
    if (!f.opened().unchangedSince(e.expected) || f.opened().size != e.info.size) return false;
    crypto_generichash_state st;
    crypto_generichash_init(&st, nullptr, 0, out.digest.size());
    ContentHash xxh;
    std::vector<uint8_t> buf(size_t(std::min<uint64_t>(e.info.size, 1 << 20)));
    for (uint64_t at = 0; at < e.info.size;) {
      const size_t want = size_t(std::min<uint64_t>(buf.size(), e.info.size - at));
      if (f.readAt(at, buf.data(), want) != want) return false;
      crypto_generichash_update(&st, buf.data(), want);
      xxh.update(buf.data(), want);
      at += want;
    }
    if (!f.now().unchangedSince(f.opened())) return false;
    crypto_generichash_final(&st, out.digest.data(), out.digest.size());
    out.checksum = xxh.digest();
    return true;
  } catch (const JarError&) {
    return false;  // reading it later reports what is wrong
  }
}

}  // namespace

size_t shareEqualContent(std::vector<NewEntry>& entries, uint64_t largest, unsigned threads) {
  if (sodium_init() < 0) return 0;  // picks the fastest BLAKE2b; without it nothing is shared
  std::vector<bool> linked(entries.size());  // hard links: theirs is shared already
  for (const NewEntry& e : entries)
    if (e.origin == NewEntry::Origin::Shared && e.sharedWith < entries.size()) linked[e.sharedWith] = true;
  std::unordered_map<uint64_t, std::vector<size_t>> bySize;
  for (size_t i = 0; i < entries.size(); ++i) {
    const NewEntry& e = entries[i];
    if (e.origin != NewEntry::Origin::Host || e.info.kind != MemberKind::File || e.info.size < kSmallest ||
        e.info.size > largest || e.expected.sparse || !e.info.hardLinkTarget.empty() || linked[i])
      continue;
    bySize[e.info.size].push_back(i);
  }
  // Read the files of shared sizes on all threads, then pair them in order.
  std::vector<size_t> todo;
  for (auto& [size, group] : bySize)
    if (group.size() > 1) todo.insert(todo.end(), group.begin(), group.end());
  std::vector<Hashed> hashes(todo.size());
  std::vector<char> read(todo.size());
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t k; (k = next++) < todo.size();) read[k] = hashFile(entries[todo[k]], hashes[k]);
  };
  std::vector<std::thread> workers;
  for (unsigned t = 1; t < std::min<size_t>(threads, todo.size()); ++t) workers.emplace_back(work);
  work();
  for (auto& w : workers) w.join();

  // Files read on the way are equal by their checksum and then byte for byte; the others by
  // their BLAKE2b (a checksum alone could be made to collide).
  size_t shared = 0;
  std::map<std::pair<uint64_t, Digest>, size_t> first;
  std::unordered_map<uint64_t, std::vector<size_t>> heldFirst;  // by checksum
  auto firstHeld = [&](size_t i) -> size_t {
    std::vector<size_t>& same = heldFirst[entries[i].checksum];
    for (size_t j : same)
      if (*entries[j].content == *entries[i].content) return j;
    same.push_back(i);
    return i;
  };
  for (size_t k = 0; k < todo.size(); ++k) {
    if (!read[k]) continue;
    const size_t i = todo[k];
    NewEntry& e = entries[i];
    e.checksum = hashes[k].checksum;
    const size_t with = e.content ? firstHeld(i)
                                  : first.emplace(std::make_pair(e.info.size, hashes[k].digest), i)
                                        .first->second;
    if (with == i) continue;
    e.origin = NewEntry::Origin::Shared;
    e.sharedWith = with;
    e.sameContent = true;
    ++shared;
  }
  return shared;
}

}  // namespace jar32
