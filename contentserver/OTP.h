#pragma once
// One-time codes (HOTP, RFC 4226), made from a shared secret that comes as the query of an
// "otpauth" address:
//   otpauth://totp/<label>?secret=<Base32>&algorithm=SHA1&digits=6
// A code is the HMAC of the counter (8 bytes, most significant first) keyed with the secret,
// cut down at the digest's dynamic offset to 31 bits and printed as `digits` decimal digits,
// zeros in front. Driven by the time in 30-second steps it is a TOTP code (RFC 6238).
//
// A generator is made, used and dropped by one thread; it keeps no shared state.

#include "portable/PlistValue.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {
class URLComponents;
}

class OTP {
public:
    // HMAC algorithm codes, as an archived generator stores them.
    enum Algorithm : int {
        kHmacAlgSHA1 = 0,
        kHmacAlgMD5 = 1,
        kHmacAlgSHA256 = 2,
        kHmacAlgSHA384 = 3,
        kHmacAlgSHA512 = 4,
        kHmacAlgSHA224 = 5,
    };

    // A generator from the query items of `url` ("secret", "algorithm", "digits"; names
    // compared lower-cased, items without a value skipped, a later item overriding an earlier
    // one). Nothing when the secret is no Base32 or decodes to no bytes, the algorithm is not
    // md5, sha1, sha224, sha256, sha384 or sha512, or digits is neither "6" nor "8".
    static std::optional<OTP> create(const platform::URLComponents& url);
    // A generator restored from its archive form (see encodeWith). Nothing when "account" is
    // not text, "secret" not data, the algorithm unknown, "size" not its digest length or
    // "digits" outside 1 to 9.
    static std::optional<OTP> create(const platform::PlistDict& coder);
    // The archive form: "account" (text), "secret" (data), "algo", "size", "digits" (integers).
    platform::PlistDict encodeWith() const;

    // The code for `counter`.
    std::string generate(std::int64_t counter) const;

    // A label for the generator; codes don't depend on it.
    std::string account;
    int algo = kHmacAlgSHA1;
    // The digest length of `algo` in bytes.
    int size = 20;
    std::vector<std::uint8_t> secret;
    int digits = 6;

private:
    OTP();
};
