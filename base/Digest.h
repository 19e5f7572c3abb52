#pragma once
// One-shot digests of text and bytes (MD5 and the SHA family), as lower-case hexadecimal or
// Base64 text, and the byte helpers of the receipt bookkeeping. Safe from any thread.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

enum class HashType { md5, sha1, sha224, sha256, sha384, sha512 };

enum class HashOutputType { hex, base64 };

// The digest length of `type` in bytes: 16, 20, 28, 32, 48 or 64.
std::size_t digestLength(HashType type);

// The digest of `bytes`, digestLength(type) bytes long.
std::vector<std::uint8_t> computeDigest(HashType type, std::span<const std::uint8_t> bytes);

// The digest of the UTF-8 bytes of `text`: hex gives two lower-case digits per byte (MD5: 32
// characters), base64 standard Base64 with padding and no line breaks. Nothing when `text` is
// not valid UTF-8.
std::optional<std::string> hashed(std::string_view text, HashType type, HashOutputType output);

// The same over raw bytes.
std::string hashed(std::span<const std::uint8_t> data, HashType type, HashOutputType output);

// `bytes` as standard Base64 text with padding and no line breaks.
std::string base64Text(std::span<const std::uint8_t> bytes);

// Each byte as two lower-case hexadecimal digits, one text per byte.
std::vector<std::string> hexByteStrings(std::span<const std::uint8_t> bytes);

// A byte buffer holding `bytes`.
std::vector<std::uint8_t> dataFromBytes(std::span<const std::uint8_t> bytes);

// The 20-byte SHA-1 digest of `data`.
std::array<std::uint8_t, 20> sha1Digest(std::span<const std::uint8_t> data);
