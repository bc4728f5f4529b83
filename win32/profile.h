// TProfile: writes keys of one section of one INI file through the
// platform's private-profile writer.
#pragma once

#include <cstddef>

#include "tstring.h"

class TProfile {
 public:
  // Keeps the file's fully qualified path when the file exists (OpenFile
  // with OF_EXIST), else the name as passed.
  TProfile(const char* section, const char* fileName);
  TProfile(const TProfile&) = delete;
  TProfile& operator=(const TProfile&) = delete;

  bool WriteEntry(const char* key, const char* value);

  const TString& Section() const { return section_; }
  const TString& FileName() const { return fileName_; }

  // The one write allocates the object on the C heap, and a new-expression
  // that gets no memory yields a null pointer.
  static void* operator new(std::size_t size) noexcept;
  static void operator delete(void* object) noexcept;

 private:
  TString section_;
  TString fileName_;
};
