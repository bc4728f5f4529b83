// The commands. Each returns the process's exit code (console.h).
#pragma once

#include <string>
#include <vector>

#include "base/code_page.h"
#include "base/console.h"
#include "jobs/member_encoder.h"
#include "container/member_time.h"

// How hard the encoder works: the codec's greedy parse, or (--best) the
// minimum-cost parse, smaller and a little slower, decoded the same way.
struct CreateOptions {
  std::string Container;
  std::vector<std::string> Inputs;
  unsigned Jobs = 1;
  EncodeEffort Effort = EncodeEffort::Standard;
  MemberTimes Times;
  // Follow a symbolic link met inside a DIR argument; without it such a link
  // is refused, so that nothing from outside the payload comes along unseen.
  bool FollowLinks = false;
  CodePage Page;  // the code page the names are stored in
};

// A medium: SETUP.EXE and SETUP.TMP side by side in Directory, and with
// Autorun an AUTORUN.INF that starts SETUP.EXE. Pack.Container is not used.
//
// SETUP.EXE is bound to SETUP.TMP (it starts nothing else) unless Unbound,
// and carries the publisher's icon and version strings when given.
struct MediumOptions {
  std::string Directory;
  std::string Preloader;  // empty: the one shipped with setuppack
  bool Autorun = false;
  bool Unbound = false;
  std::string Icon;                      // an .ico file; empty: the preloader's icon
  std::vector<std::string> VersionInfo;  // KEY=VALUE
  std::string Language;                  // a built-in set of texts; empty: the preloader's (German)
  std::vector<std::string> Texts;        // KEY=VALUE
  CreateOptions Pack;
};

int RunCreate(const CreateOptions& options, const Console& console);
int RunMedium(const MediumOptions& options, const Console& console);
int RunList(const std::string& container, bool json, const CodePage& page, const Console& console);
// test and extract take up to `jobs` members at once; what they report and
// write is the same for every number.
int RunTest(const std::string& container, unsigned jobs, const CodePage& page, const Console& console);
// Whether DIR holds a medium whose SETUP.EXE is bound to the SETUP.TMP
// beside it, which tests clean; shows the binding, icon, version strings
// and signature.
int RunVerify(const std::string& directory, unsigned jobs, const CodePage& page, const Console& console);
int RunExtract(const std::string& container, const std::string& directory, unsigned jobs,
               const CodePage& page, const Console& console);
