// Decrypting a downloaded update package: "update.zip" (the initialisation vector in its first
// 16 bytes, then the AES-CBC ciphertext) into a new "update_dec.zip".

#include "contentserver/PackageInstaller.h"

#include "contentserver/StreamCryptor.h"
#include "logger/Logger.h"
#include "portable/ContainedPath.h"
#include "portable/UTF8.h"

#include <unistd.h>

#include <ext/stdio_filebuf.h>

#include <array>
#include <fstream>
#include <optional>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t ivSize = 16;

// The key text's UTF-8 bytes zero-padded to the smallest AES key size that holds them.
std::vector<unsigned char> paddedKey(const std::string& text)
{
    for (std::size_t size : {16, 24, 32}) {
        if (text.size() <= size) {
            std::vector<unsigned char> key(text.begin(), text.end());
            key.resize(size, 0);
            return key;
        }
    }
    throw StreamCryptorError("FATAL_ERROR: Invalid key size.");
}

// Decrypts the rest of `input` into `output`. Nothing when every byte went through and the
// padding checked out; else why not.
std::optional<std::string> decryptStream(const std::string& keyText, std::istream& input, std::ostream& output)
{
    // A package shorter than the vector leaves zeros at its end and nothing to decrypt.
    std::array<unsigned char, ivSize> iv{};
    input.read(reinterpret_cast<char*>(iv.data()), ivSize);
    const std::string ivText(reinterpret_cast<const char*>(iv.data()), static_cast<std::size_t>(input.gcount()));
    LOG_DEBUG("DECRYPT IV:" + (platform::isValidUTF8(ivText) ? ivText : "(not text)"));

    std::vector<unsigned char> key;
    try {
        key = paddedKey(keyText);
    } catch (const StreamCryptorError& error) {
        return error.what();
    }
    StreamCryptor cryptor(StreamCryptor::Operation::decrypt, StreamCryptor::Mode::CBC, StreamCryptor::Algorithm::aes,
                          StreamCryptor::Padding::PKCS7Padding, iv, key);
    const auto counts = cryptStream(cryptor, input, output);
    LOG_DEBUG("DECRYPT: decrypted " + std::to_string(counts.bytesWritten));
    // A wrong key or a damaged package shows in the padding or the length at the end.
    if (cryptor.status() != StreamCryptor::Status::success)
        return "the package does not decrypt: " + StreamCryptor::description(cryptor.status());
    if (input.bad())
        return "the package could not be read to its end";
    if (!output.flush())
        return "the decrypted package could not be written";
    return std::nullopt;
}

} // namespace

PackageInstaller::Decryption PackageInstaller::decryptPackage(const fs::path& tmpDir, const std::string& key)
{
    if (key.empty())
        return Decryption::notNeeded;

    const fs::path encrypted = tmpDir / "update.zip";
    std::ifstream input(encrypted, std::ios::binary);
    if (!input) {
        LOG_ERROR("DECRYPT: Failed to open the encrypted file for input.");
        return Decryption::notOpened;
    }
    // A new file in place of whatever lies there: a link is replaced, never written through.
    std::error_code created;
    platform::ReplacementFile decrypted =
        platform::ContainedPath::make(tmpDir, "update_dec.zip")->createFile(created, 0600);
    if (!decrypted) {
        LOG_ERROR("Failed to open the file for the decrypted output file.");
        return Decryption::notOpened;
    }
    // The buffer writes and closes a descriptor of its own.
    __gnu_cxx::stdio_filebuf<char> outputBuffer(::dup(decrypted.get()), std::ios::out | std::ios::binary);
    std::ostream output(&outputBuffer);

    auto failure = decryptStream(key, input, output);
    input.close();
    if (!outputBuffer.close() && !failure)
        failure = "the decrypted package could not be written";
    if (!failure && decrypted.commit())
        failure = "the decrypted package could not be put in place";
    if (failure)
        LOG_ERROR("Decrypt Error: " + *failure);
    // The package is spent, whatever came of it.
    std::error_code error;
    fs::remove(encrypted, error);
    if (error)
        LOG_ERROR("failed to delete update.zip !");
    return failure ? Decryption::failed : Decryption::decrypted;
}
