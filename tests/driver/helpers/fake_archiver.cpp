// A stand-in archiver for the runner's tests. It reads "@file" like the real one and follows the
// words in it: "out TEXT" and "err TEXT" print a word, "pwd" prints the current folder, "nice" prints
// the scheduling niceness, "sleep MS" waits, "ignore-term" ignores SIGTERM, "exit N" ends with N.

#include <signal.h>
#include <sys/resource.h>
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
    } else if (word == "exit" && in >> word) {
      return std::stoi(word);
    }
  }
  return 0;
}
