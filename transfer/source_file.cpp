#include "transfer/source_file.h"

bool SourceFile::Open(const std::string& path) {
  Close();
  stream_ = std::fopen(path.c_str(), "rb");
  return stream_ != nullptr;
}

std::size_t SourceFile::Read(std::span<std::uint8_t> bytes) {
  if (stream_ == nullptr || bytes.empty()) return 0;
  return std::fread(bytes.data(), 1, bytes.size(), stream_);
}

void SourceFile::Close() {
  if (stream_ == nullptr) return;
  std::fclose(stream_);
  stream_ = nullptr;
}
