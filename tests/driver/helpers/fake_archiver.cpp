// A stand-in archiver for the runner's tests. It reads "@file" like the real one and follows the
// words in it: "out TEXT" and "err TEXT" print a word, "pwd" prints the current folder, "nice" prints
// the scheduling niceness, "sleep MS" waits, "ignore-term" ignores SIGTERM, "exit N" ends with N,
// "die INT|KILL" ends by that signal. "signal PATH" writes a byte to PATH (a pipe the test reads)
// and "wait PATH" reads one from it, so a test acts at a known point of the run.
// A quoted word that names a file (the archive of a real argument line) has its words followed
// too; there "needs-password" ends with the archiver's missing-password error unless the line
// passes a password.

#include <signal.h>
#include <sys/resource.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <fstream>
#include <iostream>
#include <thread>

namespace {

bool PasswordGiven(const char* argumentFile) {
  std::ifstream in(argumentFile);
  std::string word;
  while (in >> word)
    if (word.rfind("-g\"", 0) == 0) return true;
  return false;
}

int Follow(std::istream& in, const char* argumentFile) {
  std::string word;
  while (in >> word) {
    if (word.size() > 2 && word.front() == '"' && word.back() == '"') {
      std::ifstream script(word.substr(1, word.size() - 2));
      if (script) {
        if (int code = Follow(script, argumentFile); code >= 0) return code;
      }
      continue;
    }
    if (word == "needs-password" && !PasswordGiven(argumentFile)) {
      std::cerr << "ERROR #174: the archive is protected by a password" << std::endl;
      return 2;
    }
    if (word == "out" && in >> word) {
      std::cout << word << std::endl;
    } else if (word == "err" && in >> word) {
      std::cerr << word << std::endl;
    } else if (word == "pwd") {
      char folder[PATH_MAX];
      if (getcwd(folder, sizeof folder)) std::cout << folder << std::endl;
    } else if (word == "nice") {
      errno = 0;
      std::cout << getpriority(PRIO_PROCESS, 0) << std::endl;
    } else if (word == "sleep" && in >> word) {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(word)));
    } else if (word == "ignore-term") {
      signal(SIGTERM, SIG_IGN);
    } else if (word == "die" && in >> word) {
      raise(word == "INT" ? SIGINT : SIGKILL);
    } else if (word == "signal" && in >> word) {
      const int fd = open(word.c_str(), O_WRONLY);
      if (fd < 0 || write(fd, "!", 1) != 1) return 99;
      close(fd);
    } else if (word == "wait" && in >> word) {
      const int fd = open(word.c_str(), O_RDONLY);
      char byte;
      if (fd < 0 || read(fd, &byte, 1) != 1) return 99;
      close(fd);
    } else if (word == "exit" && in >> word) {
      return std::stoi(word);
    }
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] != '@') return 7;
  std::ifstream in(argv[1] + 1);
  const int code = Follow(in, argv[1] + 1);
  return code >= 0 ? code : 0;
}
