#include "container/open_container.h"

bool OpenContainer(ContainerReader& reader, const std::string& container, const Console& console,
                   ContainerDamage& damage, bool& damaged) {
  std::string error;
  if (reader.Open(container, error, damage, damaged)) return true;
  console.Error(container, error);
  return false;
}

bool OpenIntactContainer(ContainerReader& reader, const std::string& container, const Console& console) {
  ContainerDamage damage;
  bool damaged = false;
  if (!OpenContainer(reader, container, console, damage, damaged)) return false;
  if (!damaged) return true;
  console.Error(container, damage.Describe());
  return false;
}
