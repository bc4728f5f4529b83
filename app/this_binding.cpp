#include "medium_binding.h"

#include <cstring>

#include "this_binding.h"

// The record as the build leaves it: unbound. Volatile, so that the
// compiler reads what the file holds instead of this initial value.
__attribute__((section(".bind")))
const volatile MediumBinding ThisMediumBinding = {{'S', 'E', 'T', 'U', 'P', 'B', 'N', 'D'},
                                                  BINDING_VERSION,
                                                  static_cast<std::uint32_t>(BindingState::Unbound),
                                                  {}};

bool ReadBoundDigest(std::uint8_t digest[SHA256_DIGEST_SIZE]) {
  MediumBinding record;
  const volatile std::uint8_t* from = reinterpret_cast<const volatile std::uint8_t*>(&ThisMediumBinding);
  std::uint8_t* to = reinterpret_cast<std::uint8_t*>(&record);
  for (std::size_t i = 0; i < sizeof record; ++i) to[i] = from[i];
  // A record that is not ours or of another version binds to nothing no
  // container can match: the preloader then starts nothing.
  if (std::memcmp(record.Magic, BINDING_MAGIC, sizeof record.Magic) != 0 ||
      record.Version != BINDING_VERSION) {
    std::memset(digest, 0, SHA256_DIGEST_SIZE);
    return true;
  }
  if (record.State == static_cast<std::uint32_t>(BindingState::Unbound)) return false;
  std::memcpy(digest, record.Digest, SHA256_DIGEST_SIZE);
  return true;
}
