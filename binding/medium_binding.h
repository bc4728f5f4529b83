// The record in SETUP.EXE that binds it to one SETUP.TMP.
//
// The preloader is built with the record unbound, in a section of its own
// (BINDING_SECTION) that holds nothing else; `setuppack medium` finds that
// section by name in the section table and writes the SHA-256 of the
// SETUP.TMP it made into the record. The section is part of the image, so
// a signature made afterwards covers it, and the preloader reads the record
// as a variable of its own. All numbers are little-endian.
#pragma once

#include <cstdint>

#include "sha256.h"

constexpr char BINDING_SECTION[] = ".bind";
constexpr std::uint8_t BINDING_MAGIC[8] = {'S', 'E', 'T', 'U', 'P', 'B', 'N', 'D'};
constexpr std::uint32_t BINDING_VERSION = 1;

enum class BindingState : std::uint32_t {
  Unbound = 0,  // the preloader starts whatever SETUP.TMP it finds
  Bound = 1,    // only a SETUP.TMP whose SHA-256 is Digest
};

struct MediumBinding {
  std::uint8_t Magic[8];
  std::uint32_t Version;
  std::uint32_t State;
  std::uint8_t Digest[SHA256_DIGEST_SIZE];
};
static_assert(sizeof(MediumBinding) == 48, "the record's layout is fixed");
