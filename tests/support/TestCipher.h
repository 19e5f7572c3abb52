#pragma once
// Encryption for tests, straight on OpenSSL's EVP one-shot calls and independent of the code
// under test: packages in the layout the content server sends (16-byte initialisation vector,
// then the AES-CBC ciphertext with PKCS#7 padding), and reference ciphertexts.

#include <string>

namespace testsupport {

// `plain` encrypted by the EVP cipher named `cipherName` ("AES-128-CBC", "DES-EDE3-CFB8", …),
// padded with PKCS#7 when `padded`. `key` and `iv` must have the cipher's sizes.
std::string evpEncrypt(const std::string& cipherName, const std::string& key, const std::string& iv,
                       const std::string& plain, bool padded = true);

// An encrypted update package: `iv` (16 bytes) followed by `plain` encrypted with AES-CBC
// under `key` (16, 24 or 32 bytes, the AES size by its length).
std::string encryptedPackage(const std::string& plain, const std::string& key, const std::string& iv);

// `size` bytes that look random and are the same in every run.
std::string pseudoRandomBytes(std::size_t size, unsigned seed = 1);

} // namespace testsupport
