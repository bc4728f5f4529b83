#include "plain_encoder.h"

#include "plain_tree_encoder.h"

namespace {

struct FileInput {
  FILE* file;
  int Get() {
    int c = std::getc(file);
    return c == EOF ? -1 : c;
  }
};

struct FileOutput {
  FILE* file;
  void Put(std::uint8_t c) { std::putc(c, file); }
};

}  // namespace

std::uint32_t PlainEncodeTokens(FILE* input, FILE* output) {
  FileInput in{input};
  FileOutput out{output};
  return plain_encoder::EncodeTokens(in, out);
}
