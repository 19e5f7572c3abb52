// Decrypting a downloaded update package with real OpenSSL, on packages encrypted by the test.

#include "base/Config.h"
#include "contentserver/PackageInstaller.h"
#include "tests/support/TestCipher.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using Outcome = PackageInstaller::Decryption;

namespace {

class PackageDecryptionTest : public testing::Test {
protected:
    // Lies in update.zip, encrypted; not a multiple of the block or buffer size.
    const std::string plain = testsupport::pseudoRandomBytes(150'001);
    const std::string iv = testsupport::pseudoRandomBytes(16, 7);
    const fs::path tmpDir = testsupport::makeTemporaryFolder("package");

    void givenPackage(const std::string& bytes, const std::string& keyText)
    {
        testsupport::writeFile(tmpDir / "update.zip", bytes);
        key = keyText;
    }

    Outcome decrypt() { return PackageInstaller::decryptPackage(tmpDir, key); }
    fs::path decrypted() const { return tmpDir / "update_dec.zip"; }

    std::string key;
};

std::string zeroPadded(std::string key, std::size_t size)
{
    key.resize(size, '\0');
    return key;
}

} // namespace

TEST_F(PackageDecryptionTest, keyTextIsPaddedToTheSmallestAesKeySize)
{
    struct Case {
        std::string keyText;
        std::size_t aesKeySize;
    };
    const std::vector<Case> cases = {
        {"0123456789", 16},
        {"0123456789abcdef", 16},
        {"0123456789abcdefg", 24},
        {std::string(24, 'k'), 24},
        {std::string(32, 'k'), 32},
        // Nine characters of two UTF-8 bytes each: 18 bytes, an AES-192 key.
        {"\xC3\xA4\xC3\xB6\xC3\xBC\xC3\xA4\xC3\xB6\xC3\xBC\xC3\xA4\xC3\xB6\xC3\xBC", 24},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keyText);
        givenPackage(testsupport::encryptedPackage(plain, zeroPadded(c.keyText, c.aesKeySize), iv), c.keyText);

        EXPECT_EQ(Outcome::decrypted, decrypt());
        EXPECT_EQ(plain, testsupport::readFile(decrypted()));
        EXPECT_FALSE(fs::exists(tmpDir / "update.zip"));
    }
}

// A wrong key, a damaged package or an unusable key used to leave a garbled or empty
// update_dec.zip that was unpacked all the same; each is a failure now, and the package and its
// package is still spent.
TEST_F(PackageDecryptionTest, undecryptablePackagesFail)
{
    const std::string key = "0123456789";
    const std::string good = testsupport::encryptedPackage(plain, zeroPadded(key, 16), iv);
    struct Case {
        const char* scenario;
        std::string package;
        std::string keyText;
    };
    const std::vector<Case> cases = {
        {"a wrong key", good, "0123456788"},
        {"cut inside a block", good.substr(0, good.size() - 5), key},
        {"cut after a block", good.substr(0, good.size() - 16), key},
        {"shorter than the vector", good.substr(0, 10), key},
        {"only the vector", iv, key},
        {"a key of 33 bytes", good, std::string(33, 'k')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        givenPackage(c.package, c.keyText);

        EXPECT_EQ(Outcome::failed, decrypt());
        EXPECT_FALSE(fs::exists(tmpDir / "update.zip"));
    }
}

TEST_F(PackageDecryptionTest, withoutKeyThePackageStaysAsItIs)
{
    givenPackage("PK plain", "");
    EXPECT_EQ(Outcome::notNeeded, decrypt());
    EXPECT_EQ("PK plain", testsupport::readFile(tmpDir / "update.zip"));
    EXPECT_FALSE(fs::exists(decrypted()));
}

TEST_F(PackageDecryptionTest, filesThatCannotBeOpenedKeepThePackage)
{
    key = "0123456789";
    EXPECT_EQ(Outcome::notOpened, decrypt());

    givenPackage("encrypted", key);
    fs::create_directory(decrypted());
    EXPECT_EQ(Outcome::notOpened, decrypt());
    EXPECT_EQ("encrypted", testsupport::readFile(tmpDir / "update.zip"));
}
