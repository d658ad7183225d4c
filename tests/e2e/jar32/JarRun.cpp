#include "JarRun.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace e2e {

std::string jarExe() { return std::string(TAMBER_BIN_DIR) + "/jar32.exe"; }

namespace {

std::atomic<unsigned> counter{0};

pid_t spawn(const std::string& program, const std::vector<std::string>& args, const fs::path& cwd,
            const std::string& outFile, const std::string& errFile,
            const std::vector<std::string>& extraEnv = {},
            const std::vector<std::pair<int, int>>& passFds = {}) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (const auto& [from, to] : passFds) posix_spawn_file_actions_adddup2(&actions, from, to);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> env;
  for (char** e = environ; *e; ++e) env.push_back(*e);
  for (const auto& e : extraEnv) env.push_back(const_cast<char*>(e.c_str()));
  env.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), env.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

std::string ioBase() {
  return (fs::temp_directory_path() /
          ("jar32-e2e-io-" + std::to_string(getpid()) + "-" + std::to_string(counter++)))
      .string();
}

// A pipe whose ends lie above the standard handles and the numbers the child gets them as.
void highPipe(int fds[2]) {
  int raw[2];
  if (pipe2(raw, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  for (int i = 0; i < 2; ++i) {
    fds[i] = fcntl(raw[i], F_DUPFD_CLOEXEC, 10);
    close(raw[i]);
  }
}

}  // namespace

int waitForChild(pid_t pid, int seconds) {
  const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  if (fd >= 0) {
    pollfd p{fd, POLLIN, 0};
    int ready;
    while ((ready = poll(&p, 1, seconds * 1000)) < 0 && errno == EINTR) {
    }
    close(fd);
    if (ready == 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
      return -1;
    }
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

Result run(const std::string& program, const std::vector<std::string>& args, const fs::path& cwd) {
  const std::string base = ioBase();
  Result r;
  const pid_t pid = spawn(program, args, cwd, base + ".out", base + ".err");
  if (pid < 0) throw std::runtime_error("cannot start " + program);
  r.code = waitForChild(pid);
  r.out = readFile(base + ".out");
  r.err = readFile(base + ".err");
  fs::remove(base + ".out");
  fs::remove(base + ".err");
  return r;
}

Result jar(const std::vector<std::string>& args, const fs::path& cwd) { return run(jarExe(), args, cwd); }

Result jarArgs(const std::string& line, const fs::path& cwd) {
  const fs::path file = fs::temp_directory_path() /
                        ("~tb-e2e-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
  writeFile(file, line);
  Result r = jar({"@" + file.string()}, cwd);
  fs::remove(file);
  return r;
}

pid_t startJar(const std::vector<std::string>& args, const fs::path& cwd) {
  return spawn(jarExe(), args, cwd, (cwd.parent_path() / "bg.out").string(),
               (cwd.parent_path() / "bg.err").string());
}

HeldRun::HeldRun(const std::vector<std::string>& args, const fs::path& cwd, const std::string& step,
                 int occurrence) {
  int notify[2], resume[2];
  highPipe(notify);
  highPipe(resume);
  const std::string base = ioBase();
  out_ = base + ".out";
  err_ = base + ".err";
  // The child writes to its fd 3 when it is held there and waits to read from its fd 4.
  pid_ = spawn(jarExe(), args, cwd, out_, err_,
               {"JAR32_TEST_PAUSE=" + step + ":" + std::to_string(occurrence) + ":3:4"},
               {{notify[1], 3}, {resume[0], 4}});
  close(notify[1]);
  close(resume[0]);
  notify_ = notify[0];
  resume_ = resume[1];
  if (pid_ < 0) throw std::runtime_error("cannot start jar32.exe");
}

HeldRun::~HeldRun() {
  if (!finished_) {
    kill(pid_, SIGKILL);
    waitForChild(pid_, 30);
  }
  close(notify_);
  close(resume_);
  fs::remove(out_);
  fs::remove(err_);
}

bool HeldRun::waitUntilHeld(int seconds) {
  pollfd p{notify_, POLLIN, 0};
  int ready;
  while ((ready = poll(&p, 1, seconds * 1000)) < 0 && errno == EINTR) {
  }
  char byte;
  return ready > 0 && read(notify_, &byte, 1) == 1;
}

void HeldRun::resume() {
  const char byte = 'r';
  if (write(resume_, &byte, 1) != 1) throw std::runtime_error("cannot resume jar32.exe");
}

void HeldRun::signal(int sig) { kill(pid_, sig); }

long HeldRun::peakKb() const {
  // The high-water mark of the program's own memory (a count taken when a process ends would
  // include the memory of the test that started it).
  std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

Result HeldRun::finish() {
  Result r;
  close(resume_);  // a run still held goes on
  resume_ = -1;
  r.code = waitForChild(pid_);
  finished_ = true;
  r.out = readFile(out_);
  r.err = readFile(err_);
  return r;
}

TempDir::TempDir() {
  std::string tmpl = (fs::temp_directory_path() / "jar32-e2e-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = fs::canonical(tmpl);
}

TempDir::~TempDir() {
  std::error_code ec;
  // Read-only folders made by tests must not stop the clean-up.
  for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
    if (it->is_directory(ec) && !it->is_symlink(ec)) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

void writeFile(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string compareTrees(const fs::path& a, const fs::path& b) {
  std::vector<fs::path> names;
  for (auto it = fs::recursive_directory_iterator(a); it != fs::recursive_directory_iterator(); ++it)
    names.push_back(fs::relative(it->path(), a));
  size_t countB = 0;
  for (auto it = fs::recursive_directory_iterator(b); it != fs::recursive_directory_iterator(); ++it) ++countB;
  if (countB != names.size())
    return "entry counts differ: " + std::to_string(names.size()) + " vs " + std::to_string(countB);
  for (const fs::path& rel : names) {
    const fs::path pa = a / rel, pb = b / rel;
    const auto sa = fs::symlink_status(pa), sb = fs::symlink_status(pb);
    if (sa.type() != sb.type()) return "kind differs: " + rel.string();
    if (fs::is_symlink(sa)) {
      if (fs::read_symlink(pa) != fs::read_symlink(pb)) return "link target differs: " + rel.string();
    } else if (fs::is_regular_file(sa)) {
      if (readFile(pa) != readFile(pb)) return "content differs: " + rel.string();
      struct stat x, y;
      stat(pa.c_str(), &x);
      stat(pb.c_str(), &y);
      if (x.st_mtim.tv_sec != y.st_mtim.tv_sec) return "time differs: " + rel.string();
      if ((x.st_mode & 0777) != (y.st_mode & 0777)) return "mode differs: " + rel.string();
    }
  }
  return "";
}

std::string someBytes(size_t size, unsigned seed, bool text) {
  std::mt19937 rng(seed);
  std::string out(size, '\0');
  static const char words[] = "the quick brown fox jumps over a lazy dog archive chapter member\n";
  for (size_t i = 0; i < size; ++i)
    out[i] = text ? words[(rng() % 7 == 0) ? rng() % (sizeof words - 1) : i % (sizeof words - 1)]
                  : static_cast<char>(rng());
  return out;
}

void makeSampleTree(const fs::path& root) {
  writeFile(root / "readme.txt", "Read me first.\n");
  writeFile(root / "empty.txt", "");
  writeFile(root / "docs/guide.txt", someBytes(20000, 1, true));
  writeFile(root / "docs/sub/deep/notes with blanks.txt", "blank names\n");
  writeFile(root / "docs/sub/Ünïcödé – файл.txt", "non-ASCII names\n");
  writeFile(root / "data/random.bin", someBytes(70000, 2, false));
  writeFile(root / ".hidden/secret.txt", "hidden folder\n");
  fs::create_directories(root / "empty folder/inner empty");
  fs::create_symlink("../readme.txt", root / "docs/readme-link");
  fs::create_symlink("sub/deep", root / "docs/deep-link");
  fs::permissions(root / "readme.txt", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

}  // namespace e2e
