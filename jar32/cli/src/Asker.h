// Questions on the terminal (standard input): replace a file, process a file (-q).
#pragma once

#include <cstdio>
#include <string>

namespace jar32::cli {

class Asker {
 public:
  enum class Answer { Yes, No };
  /// assumeYes (-y) answers every question with yes without asking.
  Asker(bool assumeYes, std::FILE* in = stdin, std::FILE* prompt = stderr)
      : assumeYes_(assumeYes), in_(in), prompt_(prompt) {}

  /// Asks "<question> [y]es/[n]o/[a]ll/[q]uit? ". "a" answers yes from then on, "q" and the end of
  /// input answer no from then on.
  Answer ask(const std::string& question);
  bool assumesYes() const { return assumeYes_; }

 private:
  bool assumeYes_;
  bool allNo_ = false;
  std::FILE* in_;
  std::FILE* prompt_;
};

}  // namespace jar32::cli
