#include "Asker.h"

#include <cctype>

namespace jar32::cli {

Asker::Answer Asker::ask(const std::string& question) {
  if (assumeYes_) return Answer::Yes;
  if (allNo_ || !in_) return Answer::No;
  while (true) {
    if (prompt_) {
      std::fprintf(prompt_, "%s [y]es/[n]o/[a]ll/[q]uit? ", question.c_str());
      std::fflush(prompt_);
    }
    std::string reply;
    int c;
    while ((c = std::fgetc(in_)) != EOF && c != '\n') reply.push_back(static_cast<char>(c));
    if (c == EOF && reply.empty()) {
      if (prompt_) std::fputs("(no answer)\n", prompt_);
      allNo_ = true;
      return Answer::No;
    }
    const char first = reply.empty() ? ' ' : static_cast<char>(std::tolower(static_cast<unsigned char>(reply[0])));
    switch (first) {
      case 'y': return Answer::Yes;
      case 'n': return Answer::No;
      case 'a': assumeYes_ = true; return Answer::Yes;
      case 'q': allNo_ = true; return Answer::No;
      default: break;
    }
  }
}

}  // namespace jar32::cli
