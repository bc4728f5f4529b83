#include "members.h"

#include <cstdio>
#include <stdexcept>

#include "lzss.h"

static void Put32(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

Bytes MakeMember(const HeaderFields& h, const Bytes& tokens) {
  Bytes out;
  Put32(out, h.Magic);
  for (std::int32_t v : {h.TwoSeconds, h.Minute, h.Hour, h.Day, h.Month, h.Year})
    Put32(out, static_cast<std::uint32_t>(v));
  Put32(out, h.UnpackedSize);
  Put32(out, h.PackedSize);
  out.insert(out.end(), tokens.begin(), tokens.end());
  return out;
}

Bytes MakeMember(const Bytes& tokens, std::uint32_t unpackedSize) {
  HeaderFields h;
  h.UnpackedSize = unpackedSize;
  h.PackedSize = static_cast<std::uint32_t>(tokens.size());
  return MakeMember(h, tokens);
}

Bytes EncodeBytes(const ScratchDir& dir, const Bytes& data, const LocalTime* time) {
  std::string in = dir.File("encode-input.bin");
  std::string out = dir.File("encode-output.bin");
  WriteEncoderInput(in, data, time);
  TLZSS codec(0);
  if (!codec.OpenInput(in.c_str(), -1) || !codec.OpenOutput(out.c_str(), -1))
    throw std::runtime_error("cannot open encoder streams");
  if (codec.Encode(codec.InputStream, codec.OutputStream) != 1) throw std::runtime_error("Encode failed");
  codec.OpenOutput(nullptr, -1);
  return ReadWholeFile(out);
}

void WriteEncoderInput(const std::string& path, const Bytes& data, const LocalTime* time) {
  WriteWholeFile(path, data);
  if (!SetLocalWriteTime(path, time ? *time : FIXED_MEMBER_TIME)) throw std::runtime_error("cannot set time");
}

Bytes TokensOf(const Bytes& member) { return Bytes(member.begin() + 36, member.end()); }

DecodeOutcome DecodeBytes(const ScratchDir& dir, const Bytes& stream, long offset) {
  std::string in = dir.File("decode-input.bin");
  std::string out = dir.File("decode-output.bin");
  WriteWholeFile(in, stream);
  DecodeOutcome outcome;
  {
    TLZSS codec(0);
    codec.OpenInput(in.c_str(), static_cast<std::int32_t>(offset));
    codec.OpenOutput(out.c_str(), -1);
    outcome.Result = codec.Decode(codec.InputStream, codec.OutputStream);
    outcome.InputPosition = std::ftell(codec.InputStream);
  }
  outcome.Output = ReadWholeFile(out);
  return outcome;
}

std::uint32_t LittleEndian32(const Bytes& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
