#include "Program.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <new>
#include <string>

#include "Config.h"
#include "Listing.h"
#include "MemberNames.h"
#include "Run.h"
#include "UsageError.h"
#include "Usage.h"
#include "jar32/Interrupt.h"
#include "jar32/TestHooks.h"

namespace jar32::cli {

namespace {

void readCommandLine(int argc, char** argv, InvocationBuilder& builder) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i == 1 && arg.size() > 1 && arg[0] == '@')
      forEachToken(readArgumentFile(arg.substr(1)), [&](Token&& t) { builder.add(std::move(t)); });
    else
      builder.add(plainToken(arg));
  }
}

void printConfigWarning(Output& out, const std::string& folder) {
  const std::string path = escaped(folder + "jar.cfg");
  out.line("");
  out.put("WARNING #301: configuration file not found: ").line(path);
  out.line("jar32.exe goes on with its built-in default switches.");
  out.line("To create the file, run:");
  out.put("  jar32.exe CFG \"").put(path).line("\"");
  out.line("or use \"Generate Jar.cfg\" in Tamber.");
  out.line("This notice appears at every run until the file exists.");
}

void dispatch(RunContext& run) {
  switch (run.inv.command) {
    case Command::Add:
    case Command::Update:
    case Command::Freshen:
    case Command::Move:
    case Command::AddChapter: runAdd(run); break;
    case Command::Delete:
    case Command::DeleteAll: runDelete(run); break;
    case Command::DeleteChapters: runDeleteChapters(run); break;
    case Command::Extract:
    case Command::ExtractFolders: runExtract(run); break;
    case Command::List: runList(run); break;
    case Command::Test: runTest(run); break;
    case Command::Copy: runCopy(run); break;
    case Command::RecoverHeader: runRecoverHeader(run); break;
    case Command::WriteConfig: runWriteConfig(run); break;
  }
}

std::string currentFolder() {
  std::string buffer(4096, '\0');
  while (!getcwd(buffer.data(), buffer.size())) {
    if (errno != ERANGE) return "/";
    buffer.resize(buffer.size() * 2);
  }
  buffer.resize(std::char_traits<char>::length(buffer.c_str()));
  return buffer;
}

}  // namespace

int runProgram(int argc, char** argv) {
  installInterruptHandlers();
  installTestHooksFromEnvironment();
  Output out(stdout);
  Reporter report(stderr);
  if (argc < 2 || std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h" ||
      std::string_view(argv[1]) == "-?") {
    out.put(usageText());
    out.flush();
    return 0;
  }
  try {
    InvocationBuilder builder;
    readCommandLine(argc, argv, builder);
    const auto command = builder.command();
    if (!command) throw UsageError("the argument file is empty");
    Options defaults;
    const std::string folder = programFolder();
    if (*command != Command::WriteConfig) {
      const auto config = loadConfig(folder);
      if (config) defaults = defaultsFor(*config, *command);
      else printConfigWarning(out, folder);
    }
    const Invocation inv = builder.finish(defaults);
    if (!inv.options.unsupported.empty()) {
      std::string list;
      for (const std::string& s : inv.options.unsupported) list += (list.empty() ? "" : " ") + s;
      report.warning(list + ": recovery records are not supported yet; ignored");
    }
    Asker asker(inv.options.assumeYes);
    RunContext run{inv, out, report, asker, currentFolder(), {}};
    if (inv.command != Command::List) {
      printBanner(out);
      if (inv.command != Command::WriteConfig)
        out.put("Processing archive: ").line(escaped(absoluteArchivePath(run, inv.archive)));
    }
    dispatch(run);
    testPoint("finished");
    if (!out.flush()) return report.fail(kWriteError, "cannot write the standard output");
    return report.finish();
  } catch (const JarError& e) {
    out.flush();
    return report.fail(e.exitCode, e.what());
  } catch (const UsageError& e) {
    out.flush();
    return report.fail(kBadParams, e.what());
  } catch (const std::bad_alloc&) {
    out.flush();
    return report.fail(kNoMemory, "out of memory");
  } catch (const std::exception& e) {
    out.flush();
    return report.fail(kInternal, std::string("internal error: ") + e.what());
  }
}

}  // namespace jar32::cli
