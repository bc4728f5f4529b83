// TProfile: writes keys of one section of one INI file through the
// platform's private-profile writer.
#pragma once

#include <string>

class TProfile {
 public:
  // Keeps the file's fully qualified path when the file exists (OpenFile
  // with OF_EXIST), else the name as passed.
  TProfile(const char* section, const char* fileName);
  TProfile(const TProfile&) = delete;
  TProfile& operator=(const TProfile&) = delete;

  bool WriteEntry(const char* key, const char* value);

  const std::string& Section() const { return section_; }
  const std::string& FileName() const { return fileName_; }

 private:
  std::string section_;
  std::string fileName_;
};
