#pragma once
// Digests of many small inputs one after another (the checksums of a manifest's lines), without
// the set-up a one-shot digest pays each time. One object per thread at a time.

#include "base/Digest.h"

#include <array>
#include <cstdint>
#include <span>

struct evp_md_ctx_st;
struct evp_md_st;

class Digester {
public:
    explicit Digester(HashType type);
    ~Digester();
    Digester(const Digester&) = delete;
    Digester& operator=(const Digester&) = delete;

    // The digest of `bytes`, the same as computeDigest's; valid until the next call.
    std::span<const std::uint8_t> digest(std::span<const std::uint8_t> bytes);

private:
    evp_md_st* algorithm_;
    evp_md_ctx_st* context_;
    std::array<std::uint8_t, 64> digest_{};
};
