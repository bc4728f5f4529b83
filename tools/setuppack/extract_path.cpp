#include "extract_path.h"

ExtractTarget ExtractTargetOf(const std::string& name) {
  ExtractTarget target;
  if (name.empty()) {
    target.Refusal = "the name is empty";
    return target;
  }
  if (name.find('\0') != std::string::npos) {
    target.Refusal = "the name contains a zero byte";
    return target;
  }
  if (name[0] == '\\' || name[0] == '/') {
    target.Refusal = "the name is absolute and would land outside the directory";
    return target;
  }
  if (name.find(':') != std::string::npos) {
    target.Refusal = "the name holds a drive or stream (':') and would land outside the directory";
    return target;
  }
  std::string component;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && name[i] != '\\' && name[i] != '/') {
      component += name[i];
      continue;
    }
    if (component == "..") {
      target.Refusal = "the name has a \"..\" component and would land outside the directory";
      return target;
    }
    if (component.empty() || component == ".") {
      target.Refusal = "the name has an empty or \".\" component";
      return target;
    }
    target.Components.push_back(component);
    component.clear();
  }
  return target;
}
