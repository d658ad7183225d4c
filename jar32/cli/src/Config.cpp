#include "Config.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "UsageError.h"
#include "jar32/Envelope.h"

namespace jar32::cli {

Config parseConfig(const std::string& text) {
  Config config;
  std::istringstream in(text);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    const std::string where = "jar.cfg line " + std::to_string(number) + ": ";
    std::vector<Token> items;
    try {
      items = tokenize(line);
    } catch (const UsageError& e) {
      throw UsageError(where + e.what());
    }
    if (items.empty() || (!items[0].quoted() && items[0].text[0] == '#')) continue;
    std::vector<Token>* target = nullptr;
    if (items[0].text == "signer" && !items[0].quoted()) {
      std::string name;
      for (size_t i = 1; i < items.size(); ++i) name += (i > 1 ? " " : "") + items[i].text;
      if (name.empty() || name.size() > kSignerNameMax)
        throw UsageError(where + "the signer's name must hold 1 to 127 bytes");
      for (const char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
          throw UsageError(where + "the signer's name holds a control character");
      config.signerName = name;
      continue;
    }
    if (items[0].text == "*" && !items[0].quoted()) {
      target = &config.everyCommand;
    } else {
      const auto command = items[0].quoted() ? std::nullopt : commandFromWord(items[0].text);
      if (!command) throw UsageError(where + "unknown command " + items[0].text);
      target = &config.perCommand[*command];
    }
    Options probe;
    for (size_t i = 1; i < items.size(); ++i) {
      const Token& t = items[i];
      if (t.text.size() < 2 || t.text[0] != '-' || t.literalAt(0))
        throw UsageError(where + "only switches belong here, not " + t.text);
      try {
        applySwitch(t, probe);
      } catch (const UsageError& e) {
        throw UsageError(where + e.what());
      }
      target->push_back(t);
    }
  }
  return config;
}

Options defaultsFor(const Config& config, Command command) {
  Options options;
  options.signerName = config.signerName;
  for (const Token& t : config.everyCommand) applySwitch(t, options);
  if (auto it = config.perCommand.find(command); it != config.perCommand.end())
    for (const Token& t : it->second) applySwitch(t, options);
  return options;
}

std::string generatedConfigText() {
  return R"(# jar.cfg - default switches of jar32.exe.
# jar32.exe reads this file from its own folder at every run and applies the switches of the
# run's command before the switches of the command line, so the command line always wins.
# Each line: a command, then switches written as on the command line. A line "*" holds
# switches for every command. Lines beginning with # are comments.
# Without this file, jar32.exe prints "WARNING #301" and uses the same built-in defaults.
#
# Add group: method Normal (-m2), no recursion (-r-), paths below the pattern's folder (-jf-).
a   -m2 -r- -jf-
u   -m2 -r- -jf-
f   -m2 -r- -jf-
m   -m2 -r- -jf-
# ac: a changed file is one whose size or modification time differs (-js0).
ac  -m2 -r- -jf- -js0
# Delete group: ask nothing more than the command line says.
d   -q-
da  -q-
dc  -q-
# Extract: never replace an existing file without -y or a yes answer.
e   -q-
x   -q-
# Security envelopes (-hy) name their signer; without this line, the login name and the host.
# signer Jane Doe <jane@example.org>
#
# Listing and testing: the last chapter unless -jb says otherwise.
l
t
y
rh
)";
}

std::string programFolder() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return "./";
  std::string folder = exe.parent_path().string();
  if (folder.empty() || folder.back() != '/') folder.push_back('/');
  return folder;
}

std::optional<Config> loadConfig(const std::string& folder) {
  const std::string path = folder + "jar.cfg";
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (errno == ENOENT || !std::filesystem::exists(path)) return std::nullopt;
    throw UsageError("cannot read " + path);
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (text.str().size() > (1u << 20)) throw UsageError(path + " is too large");
  return parseConfig(text.str());
}

}  // namespace jar32::cli
