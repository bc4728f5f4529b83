#include "commands/cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdlib>
#include <thread>

#include "commands/commands.h"

#ifndef SETUPPACK_VERSION
#define SETUPPACK_VERSION "0"
#endif

namespace {

unsigned DefaultJobs() {
  unsigned cores = std::thread::hardware_concurrency();
  return cores ? cores : 1;
}

std::string WallClockProblem(const std::string& text) {
  DosDateTime time;
  std::string why;
  return ParseWallClock(text, time, why) ? std::string() : why;
}

// -j of test and extract: the same messages and files for any number.
void AddReadJobs(CLI::App* command, unsigned& jobs, const std::string& what) {
  command
      ->add_option("-j,--jobs", jobs,
                   what + " (default: the number of cores); the result is the same for any")
      ->check(CLI::Range(1u, 64u));
}

// The options that create and medium share, bound to `options`.
void AddPackOptions(CLI::App* command, CreateOptions& options, std::string& mtime, bool& quiet, bool& best) {
  command->add_option("-j,--jobs", options.Jobs, "Members encoded at once (default: the number of cores)")
      ->check(CLI::Range(1u, 64u));
  command->add_flag("-q,--quiet", quiet, "No progress line, warnings or summary");
  command->add_flag("--best", best,
                    "Smallest members: a minimum-cost parse, slower; the preloader reads them the same way");
  command
      ->add_option("--mtime", mtime,
                   "Stamp every member with this local wall-clock time, \"YYYY-MM-DD HH:MM:SS\" from 1980 to "
                   "2107; a member holds even seconds, so an odd second is rounded down. Without it, "
                   "SOURCE_DATE_EPOCH (seconds since 1970), when set, caps the members' times and makes them "
                   "UTC wall-clock times")
      ->type_name("TIME")
      ->check(WallClockProblem);
  command->add_flag("--follow-links", options.FollowLinks,
                    "Pack what a symbolic link inside a DIR points to (such a link is refused without it); "
                    "a FILE named here is always read through its links");
}

// --codepage N, shared by every command; unknown numbers are usage errors.
void AddCodePage(CLI::App* command, unsigned& page) {
  command
      ->add_option("--codepage", page,
                   "The Windows ANSI code page the names are stored in (default 1252, Western European): "
                   "874, 932, 936, 949, 950 or 1250 to 1258")
      ->type_name("N")
      ->check([](const std::string& text) { return CodePage::Problem(text); });
}

}  // namespace

int RunSetuppack(const std::vector<std::string>& args, Console console) {
  CLI::App app{
      "Builds, lists, tests and unpacks SETUP.TMP, the container that the setup preloader "
      "unpacks beside INSTALL.EXE.",
      "setuppack"};
  app.set_version_flag("--version", std::string("setuppack ") + SETUPPACK_VERSION);
  app.require_subcommand(1, 1);
  app.fallthrough(false);

  CreateOptions create;
  create.Jobs = DefaultJobs();
  unsigned codePage = CodePage::DEFAULT;
  bool quiet = false;
  bool best = false;
  std::string mtime;
  CLI::App* createCommand = app.add_subcommand(
      "create", "Pack each FILE, and the files directly inside each DIR, into a new container.");
  AddPackOptions(createCommand, create, mtime, quiet, best);
  AddCodePage(createCommand, codePage);
  createCommand->add_option("container", create.Container, "The container to write, e.g. SETUP.TMP")
      ->required();
  createCommand->add_option("inputs", create.Inputs, "FILE or DIR to pack")->required();

  MediumOptions medium;
  CLI::App* mediumCommand = app.add_subcommand(
      "medium",
      "Make a medium in OUTDIR: SETUP.EXE, the preloader shipped with setuppack, and SETUP.TMP packed "
      "from each FILE and the files directly inside each DIR, as create does.");
  AddPackOptions(mediumCommand, create, mtime, quiet, best);
  AddCodePage(mediumCommand, codePage);
  mediumCommand
      ->add_option("--preloader", medium.Preloader,
                   "The SETUP.EXE to copy (default: the one beside setuppack, or in its installation's "
                   "share/preloader/)")
      ->type_name("FILE");
  mediumCommand->add_flag("--autorun", medium.Autorun,
                          "Add an AUTORUN.INF that starts SETUP.EXE and shows its icon");
  mediumCommand->add_flag(
      "--unbound", medium.Unbound,
      "Copy the preloader as it is: SETUP.EXE then starts any SETUP.TMP beside it. Without "
      "it, SETUP.EXE is bound to the SETUP.TMP made here and starts nothing else");
  mediumCommand
      ->add_option("--icon", medium.Icon,
                   "The publisher's icon (.ico, bitmaps or PNG, at most 256 x 256) for SETUP.EXE")
      ->type_name("FILE.ico");
  mediumCommand
      ->add_option(
          "--version-info", medium.VersionInfo,
          "A string of SETUP.EXE's version resource, repeatable: CompanyName, FileDescription, "
          "FileVersion, InternalName, LegalCopyright, OriginalFilename, ProductName or "
          "ProductVersion; dotted numbers of FileVersion and ProductVersion also fill its fixed part")
      ->type_name("KEY=VALUE")
      ->allow_extra_args(false);
  mediumCommand
      ->add_option("--language", medium.Language,
                   "The texts of SETUP.EXE's window and boxes from a built-in set: de (the default), en, fr, "
                   "es, it, nl or ja")
      ->type_name("LANG");
  mediumCommand
      ->add_option("--text", medium.Texts,
                   "One text of SETUP.EXE's window and boxes, repeatable, over the --language set: "
                   "WaitingTitle, FailedTitle, DecodeError, ArchiveMissing, NotBoundContainer, "
                   "NoStagingDirectory or InstallerNotStarted")
      ->type_name("KEY=VALUE")
      ->allow_extra_args(false);
  mediumCommand->add_option("outdir", medium.Directory, "The medium's directory; made when missing")
      ->required();
  mediumCommand->add_option("inputs", create.Inputs, "FILE or DIR to pack")->required();

  bool json = false;
  std::string listed;
  CLI::App* listCommand = app.add_subcommand("list", "Show each member's size, packed size, ratio and time.");
  listCommand->add_flag("--json", json, "Write JSON instead of a table");
  AddCodePage(listCommand, codePage);
  listCommand->add_option("container", listed, "The container to list")->required();

  unsigned readJobs = DefaultJobs();
  std::string tested;
  CLI::App* testCommand =
      app.add_subcommand("test", "Decode every member without writing anything; exit 1 at the first fault.");
  AddReadJobs(testCommand, readJobs, "Members checked at once");
  AddCodePage(testCommand, codePage);
  testCommand->add_flag("-q,--quiet", quiet, "Report faults only");
  testCommand->add_option("container", tested, "The container to test")->required();

  std::string extracted;
  std::string directory = ".";
  CLI::App* extractCommand = app.add_subcommand("extract", "Write the members, with their times, into DIR.");
  extractCommand->add_option("-C,--directory", directory, "Where to write (default: the current directory)");
  AddReadJobs(extractCommand, readJobs, "Members decoded at once");
  AddCodePage(extractCommand, codePage);
  extractCommand->add_flag("-q,--quiet", quiet, "No progress line");
  extractCommand->add_option("container", extracted, "The container to unpack")->required();

  std::string verified;
  CLI::App* verifyCommand = app.add_subcommand(
      "verify",
      "Check a medium: SETUP.EXE bound to the SETUP.TMP beside it, which tests clean; show SETUP.EXE's "
      "binding, icon, version strings and signature.");
  AddReadJobs(verifyCommand, readJobs, "Members checked at once");
  AddCodePage(verifyCommand, codePage);
  verifyCommand->add_option("dir", verified, "The medium's directory")->required();

  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e, console.Out, console.Err);
    return code == 0 ? EXIT_OK : EXIT_USAGE;
  }
  console.Quiet = quiet;
  if (best) create.Effort = EncodeEffort::Best;
  const CodePage page(codePage);
  create.Page = page;
  if (*createCommand || *mediumCommand) {
    std::string why;
    if (!ChooseMemberTimes(mtime, std::getenv("SOURCE_DATE_EPOCH"), create.Times, why)) {
      console.Error(app.get_subcommands().front()->get_name(), why);
      return EXIT_USAGE;
    }
  }
  try {
    if (*createCommand) return RunCreate(create, console);
    if (*mediumCommand) {
      medium.Pack = create;
      return RunMedium(medium, console);
    }
    if (*listCommand) return RunList(listed, json, page, console);
    if (*testCommand) return RunTest(tested, readJobs, page, console);
    if (*verifyCommand) return RunVerify(verified, readJobs, page, console);
    return RunExtract(extracted, directory, readJobs, page, console);
  } catch (const std::exception& e) {
    // Out of memory or a file system call that throws: still one line and
    // a failure code, never an abort.
    console.Error(app.get_subcommands().front()->get_name(), e.what());
    return EXIT_BAD_DATA;
  }
}
