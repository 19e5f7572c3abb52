#include "contentserver/StreamCryptor.h"

#include <openssl/evp.h>

#include <climits>
#include <vector>

namespace {

// Pieces of this size keep the pump's system calls and cipher calls few while its memory
// stays small and fixed.
constexpr std::size_t cryptStreamBufferSize = 64 * 1024;

const char* modeName(StreamCryptor::Mode mode)
{
    switch (mode) {
    case StreamCryptor::Mode::ECB: return "ECB";
    case StreamCryptor::Mode::CBC: return "CBC";
    case StreamCryptor::Mode::CFB: return "CFB";
    case StreamCryptor::Mode::CTR: return "CTR";
    case StreamCryptor::Mode::OFB: return "OFB";
    case StreamCryptor::Mode::CFB8: return "CFB8";
    }
    return "";
}

// EVP's name of the cipher, such as "AES-128-CBC" or "DES-EDE3-CBC".
std::string cipherName(StreamCryptor::Algorithm algorithm, StreamCryptor::Mode mode, std::size_t keySize)
{
    const std::string prefix =
        algorithm == StreamCryptor::Algorithm::aes ? "AES-" + std::to_string(keySize * 8) : "DES-EDE3";
    return prefix + "-" + modeName(mode);
}

} // namespace

std::optional<StreamCryptor::Status> StreamCryptor::statusFromRawValue(int code)
{
    if (code == 0 || (code <= -4300 && code >= -4307))
        return static_cast<Status>(code);
    return std::nullopt;
}

std::string StreamCryptor::description(Status status)
{
    switch (status) {
    case Status::success: return "Success";
    case Status::paramError: return "ParamError";
    case Status::bufferTooSmall: return "BufferTooSmall";
    case Status::memoryFailure: return "MemoryFailure";
    case Status::alignmentError: return "AlignmentError";
    case Status::decodeError: return "DecodeError";
    case Status::unimplemented: return "Unimplemented";
    case Status::overflow: return "Overflow";
    case Status::rngFailure: return "RNGFailure";
    }
    return "";
}

std::size_t StreamCryptor::blockSize(Algorithm algorithm)
{
    return algorithm == Algorithm::aes ? 16 : 8;
}

bool StreamCryptor::isValidKeySize(Algorithm algorithm, std::size_t keySize)
{
    if (algorithm == Algorithm::aes)
        return keySize == 16 || keySize == 24 || keySize == 32;
    return keySize == 24;
}

StreamCryptor::StreamCryptor(Operation operation, Mode mode, Algorithm algorithm, Padding padding,
                             std::span<const unsigned char> iv, std::span<const unsigned char> key)
    : padding_(padding)
{
    if (!isValidKeySize(algorithm, key.size())) {
        status_ = Status::paramError;
        return;
    }
    EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, cipherName(algorithm, mode, key.size()).c_str(), nullptr);
    if (!cipher) {
        status_ = Status::unimplemented;
        return;
    }
    const auto ivLength = static_cast<std::size_t>(EVP_CIPHER_get_iv_length(cipher));
    context_ = EVP_CIPHER_CTX_new();
    if (!context_)
        status_ = Status::memoryFailure;
    else if (iv.size() < ivLength)
        status_ = Status::paramError;
    else if (EVP_CipherInit_ex2(context_, cipher, key.data(), ivLength ? iv.data() : nullptr,
                                operation == Operation::encrypt ? 1 : 0, nullptr) != 1)
        status_ = Status::paramError;
    else {
        EVP_CIPHER_CTX_set_padding(context_, padding == Padding::PKCS7Padding ? 1 : 0);
        blockSize_ = static_cast<std::size_t>(EVP_CIPHER_CTX_get_block_size(context_));
    }
    EVP_CIPHER_free(cipher);
}

StreamCryptor::~StreamCryptor()
{
    EVP_CIPHER_CTX_free(context_);
}

std::size_t StreamCryptor::getOutputLength(std::size_t inputByteCount, bool isFinal) const
{
    // Update may add the block held back from earlier pieces; final adds at most one more.
    return inputByteCount + blockSize_ + (isFinal ? blockSize_ : 0);
}

StreamCryptor::Status StreamCryptor::update(const void* bufferIn, std::size_t byteCountIn, void* bufferOut,
                                            std::size_t byteCapacityOut, std::size_t& byteCountOut)
{
    byteCountOut = 0;
    if (status_ != Status::success)
        return status_;
    if (byteCountIn > INT_MAX - 2 * blockSize_) {
        status_ = Status::overflow;
        return status_;
    }
    if (byteCapacityOut < getOutputLength(byteCountIn, false)) {
        status_ = Status::bufferTooSmall;
        return status_;
    }
    int produced = 0;
    if (EVP_CipherUpdate(context_, static_cast<unsigned char*>(bufferOut), &produced,
                         static_cast<const unsigned char*>(bufferIn), static_cast<int>(byteCountIn)) != 1) {
        status_ = Status::paramError;
        return status_;
    }
    bytesIn_ += byteCountIn;
    byteCountOut = static_cast<std::size_t>(produced);
    return status_;
}

StreamCryptor::Status StreamCryptor::final(void* bufferOut, std::size_t byteCapacityOut, std::size_t& byteCountOut)
{
    byteCountOut = 0;
    if (status_ != Status::success)
        return status_;
    if (byteCapacityOut < blockSize_) {
        status_ = Status::bufferTooSmall;
        return status_;
    }
    int produced = 0;
    if (EVP_CipherFinal_ex(context_, static_cast<unsigned char*>(bufferOut), &produced) != 1) {
        // A stream of no whole blocks can't be deciphered (nor enciphered unpadded); whole blocks
        // that fail end in a padding that doesn't check out.
        status_ = bytesIn_ % blockSize_ != 0 || bytesIn_ == 0 ? Status::alignmentError : Status::decodeError;
        return status_;
    }
    byteCountOut = static_cast<std::size_t>(produced);
    return status_;
}

CryptStreamCounts cryptStream(StreamCryptor& cryptor, std::istream& input, std::ostream& output)
{
    CryptStreamCounts counts;
    std::vector<char> in(cryptStreamBufferSize);
    std::vector<char> out(cryptor.getOutputLength(cryptStreamBufferSize, true));
    auto put = [&](std::size_t produced) {
        if (produced == 0)
            return;
        output.write(out.data(), static_cast<std::streamsize>(produced));
        if (output)
            counts.bytesWritten += produced;
    };

    while (input) {
        input.read(in.data(), static_cast<std::streamsize>(in.size()));
        const auto count = input.gcount();
        if (count <= 0)
            break;
        counts.bytesRead += static_cast<std::size_t>(count);
        std::size_t produced = 0;
        cryptor.update(in.data(), static_cast<std::size_t>(count), out.data(), out.size(), produced);
        put(produced);
    }
    std::size_t produced = 0;
    cryptor.final(out.data(), out.size(), produced);
    put(produced);
    return counts;
}
