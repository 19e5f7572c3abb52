// The stream cryptor against OpenSSL's one-shot encryption, and its statuses.

#include "contentserver/StreamCryptor.h"
#include "tests/support/TestCipher.h"

#include <gtest/gtest.h>

using Algorithm = StreamCryptor::Algorithm;
using Mode = StreamCryptor::Mode;
using Operation = StreamCryptor::Operation;
using Padding = StreamCryptor::Padding;
using Status = StreamCryptor::Status;

namespace {

std::span<const unsigned char> bytes(const std::string& text)
{
    return {reinterpret_cast<const unsigned char*>(text.data()), text.size()};
}

// Runs `input` through `cryptor` in pieces of `piece` bytes, then final.
std::string runInPieces(StreamCryptor& cryptor, const std::string& input, std::size_t piece)
{
    std::string out;
    std::string buffer(cryptor.getOutputLength(piece, true), '\0');
    std::size_t produced = 0;
    for (std::size_t at = 0; at < input.size(); at += piece) {
        const std::size_t count = std::min(piece, input.size() - at);
        EXPECT_EQ(Status::success, cryptor.update(input.data() + at, count, buffer.data(), buffer.size(), produced));
        out.append(buffer.data(), produced);
    }
    EXPECT_EQ(Status::success, cryptor.final(buffer.data(), buffer.size(), produced));
    out.append(buffer.data(), produced);
    return out;
}

} // namespace

TEST(StreamCryptor, matchesOpenSSLForEveryAlgorithmAndMode)
{
    struct Case {
        Algorithm algorithm;
        Mode mode;
        std::size_t keySize;
        Padding padding;
        const char* evpName;
    };
    const std::vector<Case> cases = {
        {Algorithm::aes, Mode::CBC, 16, Padding::PKCS7Padding, "AES-128-CBC"},
        {Algorithm::aes, Mode::CBC, 24, Padding::PKCS7Padding, "AES-192-CBC"},
        {Algorithm::aes, Mode::CBC, 32, Padding::PKCS7Padding, "AES-256-CBC"},
        {Algorithm::aes, Mode::ECB, 16, Padding::PKCS7Padding, "AES-128-ECB"},
        {Algorithm::aes, Mode::CFB, 24, Padding::NoPadding, "AES-192-CFB"},
        {Algorithm::aes, Mode::CFB8, 32, Padding::NoPadding, "AES-256-CFB8"},
        {Algorithm::aes, Mode::OFB, 16, Padding::NoPadding, "AES-128-OFB"},
        {Algorithm::aes, Mode::CTR, 32, Padding::NoPadding, "AES-256-CTR"},
        {Algorithm::tripleDES, Mode::CBC, 24, Padding::PKCS7Padding, "DES-EDE3-CBC"},
        {Algorithm::tripleDES, Mode::ECB, 24, Padding::PKCS7Padding, "DES-EDE3-ECB"},
        {Algorithm::tripleDES, Mode::CFB8, 24, Padding::NoPadding, "DES-EDE3-CFB8"},
    };
    const std::string plain = testsupport::pseudoRandomBytes(1000);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.evpName);
        const std::string key = testsupport::pseudoRandomBytes(c.keySize, 2);
        const std::string iv = testsupport::pseudoRandomBytes(StreamCryptor::blockSize(c.algorithm), 3);
        const bool padded = c.padding == Padding::PKCS7Padding;
        const std::string expected = testsupport::evpEncrypt(c.evpName, key, c.mode == Mode::ECB ? "" : iv, plain, padded);

        StreamCryptor encryptor(Operation::encrypt, c.mode, c.algorithm, c.padding, bytes(iv), bytes(key));
        EXPECT_EQ(expected, runInPieces(encryptor, plain, 77));
        StreamCryptor decryptor(Operation::decrypt, c.mode, c.algorithm, c.padding, bytes(iv), bytes(key));
        EXPECT_EQ(plain, runInPieces(decryptor, expected, 64));
    }
}

TEST(StreamCryptor, failuresAreRecordedAndStopLaterCalls)
{
    const std::string key(16, 'k');
    const std::string iv(16, 'i');
    const auto make = [&](const std::string& withKey, Algorithm algorithm = Algorithm::aes, Mode mode = Mode::CBC) {
        return std::make_unique<StreamCryptor>(Operation::decrypt, mode, algorithm, Padding::PKCS7Padding, bytes(iv),
                                               bytes(withKey));
    };
    EXPECT_EQ(Status::paramError, make(std::string(20, 'k'))->status());
    EXPECT_EQ(Status::paramError, make(key, Algorithm::tripleDES)->status());
    EXPECT_EQ(Status::unimplemented, make(std::string(24, 'k'), Algorithm::tripleDES, Mode::CTR)->status());
    EXPECT_EQ(Status::paramError,
              StreamCryptor(Operation::decrypt, Mode::CBC, Algorithm::aes, Padding::PKCS7Padding,
                            bytes(std::string(8, 'i')), bytes(key))
                  .status());

    std::string out(64, '\0');
    std::size_t produced = 99;
    const std::string block(32, 'x');
    auto cryptor = make(key);
    EXPECT_EQ(Status::bufferTooSmall, cryptor->update(block.data(), block.size(), out.data(), 32, produced));
    // Once failed, nothing more is produced, even with room enough.
    EXPECT_EQ(Status::bufferTooSmall, cryptor->update(block.data(), block.size(), out.data(), out.size(), produced));
    EXPECT_EQ(0u, produced);
    EXPECT_EQ(Status::bufferTooSmall, cryptor->final(out.data(), out.size(), produced));

    // A ciphertext of no whole blocks, and whole blocks whose padding is wrong.
    cryptor = make(key);
    cryptor->update(block.data(), 20, out.data(), out.size(), produced);
    EXPECT_EQ(Status::alignmentError, cryptor->final(out.data(), out.size(), produced));
    cryptor = make(key);
    const std::string other = testsupport::evpEncrypt("AES-128-CBC", std::string(16, 'o'), iv, "some text");
    cryptor->update(other.data(), other.size(), out.data(), out.size(), produced);
    EXPECT_EQ(Status::decodeError, cryptor->final(out.data(), out.size(), produced));
}
