// Opening the container a command reads. A file that cannot be opened is
// reported here; so is damage in its entry count, except for `list`, which
// still shows what it can read.
#pragma once

#include <string>

#include "base/console.h"
#include "container/container_reader.h"

bool OpenContainer(ContainerReader& reader, const std::string& container, const Console& console,
                   ContainerDamage& damage, bool& damaged);

// The same, and damage in the entry count is a failure too.
bool OpenIntactContainer(ContainerReader& reader, const std::string& container, const Console& console);
