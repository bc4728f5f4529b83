#include "commands/commands.h"
#include "commands/packing.h"

int RunCreate(const CreateOptions& options, const Console& console) {
  std::vector<PayloadFile> files;
  if (!ListPayloadFor(options, {}, InstallerRule::Warn, console, files)) return EXIT_BAD_DATA;
  return PackAndReport(options, files, console) ? EXIT_OK : EXIT_BAD_DATA;
}
