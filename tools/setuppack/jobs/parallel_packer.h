// Writing the container: the entry count, then for each payload file its
// name field and its member, in the payload's order.
//
// With more than one job the members are encoded side by side, each into a
// temporary file beside the container, and appended in order as they come
// in. Encode is deterministic, so the container has the same bytes whatever
// the number of jobs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jobs/member_encoder.h"
#include "base/console.h"
#include "container/member_time.h"
#include "container/payload.h"

struct PackSummary {
  std::uint64_t UnpackedBytes = 0;
  std::uint64_t ContainerBytes = 0;
  std::vector<Problem> Warnings;
};

// The container appears under its name only when complete. On failure the
// problem is in `failure`, and neither the container nor a temporary file
// is left behind. The members get the times that `times` says.
bool PackContainer(const std::string& container, const std::vector<PayloadFile>& files, unsigned jobs,
                   EncodeEffort effort, const Console& console, PackSummary& summary, Problem& failure,
                   const MemberTimes& times = MemberTimes{});
