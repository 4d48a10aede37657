// SHA-256 against the test vectors of FIPS 180 and against sha256sum.
#include <gtest/gtest.h>

#include <string>

#include "backup/sha256.h"
#include "support/file_bytes.h"
#include "support/program_run.h"
#include "tests/support/temp_folder.h"

namespace zema {

namespace {

std::string HexOfText(const std::string& text) {
  return Sha256Hex({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

}  // namespace

TEST(BackupSha256, GivesTheDigestsOfTheStandardsVectors) {
  const struct {
    std::string message;
    const char* digest;
  } vectors[] = {
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqr"
       "lmnopqrsmnopqrstnopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& v : vectors) EXPECT_EQ(HexOfText(v.message), v.digest) << v.message.size();
  // Fed in pieces that straddle the 64-byte blocks, the digest stays.
  Sha256 pieces;
  const std::string& long_message = vectors[4].message;
  for (std::size_t at = 0; at < long_message.size(); at += 1000 - 37) {
    const std::string part = long_message.substr(at, 1000 - 37);
    pieces.Update({reinterpret_cast<const std::uint8_t*>(part.data()), part.size()});
  }
  EXPECT_EQ(HexOf(pieces.Finish()), vectors[4].digest);
}

TEST(BackupSha256, OfAFileIsWhatSha256sumSays) {
  TempFolder folder("sha256");
  std::string bytes;
  for (int i = 0; i < 147318; ++i) bytes += static_cast<char>(i * 7 + i / 251);
  WriteFileBytes(folder / "line1.cmp.bmp", bytes);
  std::string hex;
  std::uint64_t size = 0;
  std::string error;
  ASSERT_TRUE(Sha256OfFile((folder / "line1.cmp.bmp").string(), hex, size, error)) << error;
  const ProgramOutcome sum =
      RunProgram("/usr/bin/sha256sum", {(folder / "line1.cmp.bmp").string()});
  EXPECT_EQ(size, bytes.size());
  EXPECT_EQ(sum.out.substr(0, 64), hex);
}

}  // namespace zema
