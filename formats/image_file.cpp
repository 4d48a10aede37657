#include "formats/image_file.h"

#include "formats/source_file.h"

namespace {

constexpr std::size_t kTestedBytes[] = {0, 1, 2, 3, 4, 28};

}  // namespace

bool ImageHeaderPasses(std::span<const std::uint8_t> header) {
  for (std::size_t at : kTestedBytes) {
    if (at >= header.size() || header[at] != ImageFileHeader[at]) return false;
  }
  return true;
}

ImageFileStatus CheckImageFile(std::FILE* stream) {
  std::array<std::uint8_t, kImageHeaderBytes> header{};
  const std::size_t got = std::fread(header.data(), 1, header.size(), stream);
  if (!ImageHeaderPasses(std::span(header).first(got))) return ImageFileStatus::Refused;
  // Long enough when its last pixel byte can be read; then back to the
  // first pixel byte.
  const bool complete = std::fseek(stream, static_cast<long>(kImageFileBytes - 1), SEEK_SET) == 0 &&
                        std::fgetc(stream) != EOF;
  if (!complete || std::fseek(stream, static_cast<long>(kImageHeaderBytes), SEEK_SET) != 0) {
    return ImageFileStatus::Refused;
  }
  return ImageFileStatus::Ok;
}

ImageFileStatus CheckImageFile(const std::string& path) {
  std::FILE* stream = OpenRegularFile(path);
  if (stream == nullptr) return ImageFileStatus::Missing;
  const ImageFileStatus status = CheckImageFile(stream);
  std::fclose(stream);
  return status;
}
