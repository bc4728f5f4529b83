// The codec each worker thread of setuppack owns through a pointer. TLZSS has
// a virtual Progress but no virtual destructor (nothing deletes one through a
// base pointer), so the owner holds the final type it deletes.
#pragma once

#include "lzss.h"

class WorkerCodec final : public TLZSS {
 public:
  WorkerCodec() : TLZSS(0) {}
};
