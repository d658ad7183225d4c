// Peak memory of reading small hostile archives (and big-block ones) with the engine and with
// jar32.exe. Prints figures; nothing passes or fails here.
//   jar32_bench_hostile_memory [SCRATCH-FOLDER] [JAR32.EXE]
// Each case runs in a child process of its own, so its peak resident size is its own.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Directory.h"
#include "Format.h"
#include "jar32/Archive.h"
#include "jar32/Changes.h"

namespace fs = std::filesystem;
using namespace jar32;

namespace {

// A file header, one directory block made of `raw`, and the trailer: the smallest archive
// whose directory is what the caller says.
void writeWithDirectory(const std::string& path, const Bytes& raw, uint64_t declaredRaw) {
  Bytes file(kFileHeaderSize);
  FileHeader{}.encode(file.data());
  BlockHeader info;
  info.type = kBlockInfo;
  Bytes infoRaw;
  ByteWriter iw(infoRaw);
  ArchiveInfo ai;
  encodeInfo(ai, iw);
  Bytes infoMeta = buildMetaSection(infoRaw, kGuardCrc, nullptr, info.metaNonce, kBlockInfo);
  info.metaRaw = infoRaw.size();
  info.metaStored = infoMeta.size();
  const uint64_t infoOffset = file.size();
  file.resize(file.size() + kBlockHeaderSize);
  info.encode(file.data() + infoOffset);
  file.insert(file.end(), infoMeta.begin(), infoMeta.end());

  BlockHeader dir;
  dir.type = kBlockDirectory;
  Bytes meta = buildMetaSection(raw, kGuardCrc, nullptr, dir.metaNonce, kBlockDirectory);
  dir.metaRaw = declaredRaw;
  dir.metaStored = meta.size();
  const uint64_t dirOffset = file.size();
  file.resize(file.size() + kBlockHeaderSize);
  dir.encode(file.data() + dirOffset);
  file.insert(file.end(), meta.begin(), meta.end());
  Trailer t;
  t.infoOffset = infoOffset;
  t.directoryOffset = dirOffset;
  t.directorySize = file.size() - dirOffset;
  t.fileSize = file.size() + kTrailerSize;
  file.resize(file.size() + kTrailerSize);
  t.encode(file.data() + file.size() - kTrailerSize);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), file.size());
}

// A directory of `count` copies of one small entry: compresses to almost nothing.
Bytes manyEntries(uint64_t count) {
  Bytes raw;
  ByteWriter w(raw);
  w.var(1);
  ArchiveInfo info;
  encodeInfo(info, w);
  w.var(0);  // blocks
  w.var(count);
  for (uint64_t i = 0; i < count; ++i) {
    w.str("a-name-longer-than-sso");
    w.u8(0);
    w.var(kAttrArchive);
    w.var(0644);
    w.var(0);
    w.svar(0);
    w.str("");
    w.var(1);
    w.var(1);
    w.u64(0);
    w.var(0);
    w.var(0);
  }
  return raw;
}

// Big files of zeros (20 MiB each): every block holds 60 MiB that compress to a few kilobytes.
void zeroBlocks(const std::string& path, const std::string& scratch, int files) {
  std::vector<SourceFile> sources;
  for (int i = 0; i < files; ++i) {
    const std::string host = scratch + "/zeros" + std::to_string(i);
    std::ofstream(host).close();
    fs::resize_file(host, 20ull << 20);  // a hole: nothing is written to the disk
    SourceFile f;
    f.hostPath = host;
    f.meta.name = "zeros" + std::to_string(i);
    f.meta.attributes = kAttrArchive;
    sources.push_back(f);
  }
  WriteSettings s;
  s.method = 1;
  addFiles(path, sources, AddMode::Add, false, false, ChapterCompare::SizeAndTime, s, nullptr);
}

struct Discard : MemberVisitor {
  bool begin(size_t, const MemberInfo&) override { return true; }
  void data(const uint8_t*, size_t) override {}
  void end(size_t, const MemberInfo&, MemberStatus) override {}
};

// Runs work in a child; prints its outcome and peak resident size.
void measure(const std::string& label, const std::function<int()>& work) {
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) _exit(work());
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::printf("  %-44s peak %7.1f MB   exit %d\n", label.c_str(), usage.ru_maxrss / 1024.0, code);
}

int engine(const std::string& archive, char what) {
  try {
    auto a = Archive::open(archive, "");
    if (a->info().directoryRebuilt) return kCrcError;
    std::vector<size_t> all(a->members().size());
    for (size_t i = 0; i < all.size(); ++i) all[i] = i;
    if (what == 't') a->test(nullptr);
    if (what == 'x') {
      Discard d;
      a->read(all, d, false);
    }
    if (what == 'd') {
      WriteSettings s;
      s.threads = 16;  // the most the writer uses on any machine
      // Every block loses a member, so each one is decoded and compressed again.
      deleteMembers(archive, [](const MemberInfo& m) { return (m.name.back() - '0') % 2 == 0; },
                    false, s, nullptr);
    }
    return 0;
  } catch (const JarError& e) {
    return e.exitCode;
  }
}

int program(const std::string& exe, const std::vector<std::string>& args) {
  std::vector<char*> argv{const_cast<char*>(exe.c_str())};
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::freopen("/dev/null", "w", stdout);
  std::freopen("/dev/null", "w", stderr);
  execv(exe.c_str(), argv.data());
  return 127;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string scratch = argc > 1 ? argv[1] : "/tmp/jar32-bench-hostile";
  const std::string exe = argc > 2 ? argv[2] : "";
  fs::remove_all(scratch);
  fs::create_directories(scratch + "/out");
  std::printf("Reading ahead does not depend on the core count (%u here); the writer uses at most 16 threads.\n",
              std::thread::hardware_concurrency());

  struct Case {
    std::string name, path;
  };
  std::vector<Case> cases;
  {
    const std::string p = scratch + "/directory-of-zeros.j";
    writeWithDirectory(p, Bytes(512ull << 20, 0), 512ull << 20);
    cases.push_back({"directory claiming 512 MiB", p});
  }
  {
    const std::string p = scratch + "/many-entries.j";
    const Bytes raw = manyEntries(4'000'000);
    writeWithDirectory(p, raw, raw.size());
    cases.push_back({"directory of 4 million entries", p});
  }
  {
    const std::string p = scratch + "/entries-at-the-limit.j";
    const Bytes raw = manyEntries(90'000);  // under 4 MiB: what a file this small may hold
    writeWithDirectory(p, raw, raw.size());
    cases.push_back({"directory of 90,000 entries", p});
  }
  {
    const std::string p = scratch + "/zero-blocks.j";
    zeroBlocks(p, scratch, 24);
    cases.push_back({"eight 60 MiB blocks of zeros", p});
  }
  for (const Case& c : cases) {
    std::printf("%s: %.1f KB\n", c.name.c_str(), fs::file_size(c.path) / 1000.0);
    measure("engine: open and list", [&] { return engine(c.path, 'l'); });
    measure("engine: test", [&] { return engine(c.path, 't'); });
    measure("engine: read every member", [&] { return engine(c.path, 'x'); });
    if (!exe.empty()) {
      measure("jar32.exe l", [&] { return program(exe, {"l", c.path}); });
      measure("jar32.exe t", [&] { return program(exe, {"t", c.path}); });
      measure("jar32.exe x", [&] { return program(exe, {"x", c.path, "-y", "-o" + scratch + "/out"}); });
      fs::remove_all(scratch + "/out");
    }
  }
  std::printf("A change that compresses every block again (d of every other member), 16 threads:\n");
  fs::copy_file(cases[3].path, scratch + "/change.j");
  measure("engine: d", [&] { return engine(scratch + "/change.j", 'd'); });
  fs::remove_all(scratch);
  return 0;
}
