// SHA-256 (FIPS 180-4): the receipt ledger chains its records with it and
// hashes each input. On x86-64 processors with the SHA extensions the blocks
// go through those instructions (checked once at run time); elsewhere, plain
// C++.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace dorvane {

class Sha256 {
 public:
  using Digest = std::array<std::uint8_t, 32>;

  Sha256() { Reset(); }
  void Reset();
  void Update(const void* data, std::size_t size);
  void Update(std::string_view bytes) { Update(bytes.data(), bytes.size()); }
  // The digest of everything given since the last Reset; the object is reset.
  Digest Final();

  // The code that hashes: "sha-ni" or "plain".
  static const char* Code();
  // Plain C++ from now on, whatever the processor has (for tests and the
  // benchmark); false: back to the best the processor has.
  static void UsePlainCode(bool plain);

 private:

  std::array<std::uint32_t, 8> h_{};
  std::array<std::uint8_t, 64> buffer_{};
  std::size_t buffered_ = 0;
  std::uint64_t length_ = 0;  // bytes given
};

// 64 lower-case hexadecimal digits.
std::string HexDigest(const Sha256::Digest& digest);
std::string Sha256Hex(std::string_view bytes);

}  // namespace dorvane
