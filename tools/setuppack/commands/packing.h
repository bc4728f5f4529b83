// The steps that `create` and `medium` share: list and check the payload,
// then pack it, with the same refusals, warnings and closing summary.
#pragma once

#include <string>
#include <vector>

#include "commands/commands.h"
#include "container/payload.h"

// Whether a payload without INSTALL.EXE is refused (a medium, which would
// start nothing) or only warned about (a container, which may be a part).
enum class InstallerRule { Warn, Require };

// The payload of options.Inputs, checked for options.Container. Files that
// are among `otherOutputs` (files the command writes beside the container)
// are refused too. On refusal every problem is reported, and false.
bool ListPayloadFor(const CreateOptions& options, const std::vector<std::string>& otherOutputs,
                    InstallerRule installer, const Console& console, std::vector<PayloadFile>& files);

// Writes options.Container from `files`; the failure or the summary is
// reported.
bool PackAndReport(const CreateOptions& options, const std::vector<PayloadFile>& files,
                   const Console& console);
