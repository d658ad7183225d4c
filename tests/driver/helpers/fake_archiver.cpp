// A stand-in archiver for the runner's tests. It reads "@file" like the real one and follows the
// words in it: "out TEXT" and "err TEXT" print a word, "pwd" prints the current folder, "nice" prints
// the scheduling niceness, "sleep MS" waits, "ignore-term" ignores SIGTERM, "exit N" ends with N,
// "die INT|KILL" ends by that signal. "signal PATH" writes a byte to PATH (a pipe the test reads)
// and "wait PATH" reads one from it, so a test acts at a known point of the run.

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

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] != '@') return 7;
  std::ifstream in(argv[1] + 1);
  std::string word;
  while (in >> word) {
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
  return 0;
}
