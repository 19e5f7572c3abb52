#pragma once
// A block cipher run over a stream of bytes in pieces: the cryptor of an encrypted update
// package (AES in CBC mode with PKCS#7 padding). Built on OpenSSL's EVP ciphers.
//
// Each call of update takes the next piece and writes what can be produced of it so far; final
// writes the rest (with padding, the last block). The first failing call records its status,
// and every later call is skipped and returns it, so one look at status() after final tells
// whether the whole stream went through: a wrong key or a damaged stream ends in decodeError
// (bad padding) or alignmentError (a length that is no whole number of blocks).
//
// A cryptor is made, used and dropped by one thread.

#include <cstddef>
#include <istream>
#include <optional>
#include <ostream>
#include <span>
#include <stdexcept>
#include <string>

typedef struct evp_cipher_ctx_st EVP_CIPHER_CTX;

class StreamCryptor {
public:
    enum class Operation { encrypt, decrypt };
    // The ciphers EVP's default provider offers: AES (key 16, 24 or 32 bytes) and triple DES
    // (key 24 bytes).
    enum class Algorithm { aes, tripleDES };
    // Triple DES has no CTR mode.
    enum class Mode { ECB, CBC, CFB, CTR, OFB, CFB8 };
    enum class Padding { NoPadding, PKCS7Padding };

    // The statuses of a cryptor, with the codes the system's status texts use.
    enum class Status : int {
        success = 0,
        paramError = -4300,
        bufferTooSmall = -4301,
        memoryFailure = -4302,
        alignmentError = -4303,
        decodeError = -4304,
        unimplemented = -4305,
        overflow = -4306,
        rngFailure = -4307,
    };
    // The status of `code`; nothing for a code that is none of the above.
    static std::optional<Status> statusFromRawValue(int code);
    // "Success", "ParamError", "BufferTooSmall", …
    static std::string description(Status status);

    static std::size_t blockSize(Algorithm algorithm);
    static bool isValidKeySize(Algorithm algorithm, std::size_t keySize);

    // A cryptor for `key` and `iv` (the algorithm's block size; not used by ECB). Its status is
    // paramError for a key of a size the algorithm does not take or a short `iv`,
    // unimplemented for a mode the algorithm lacks, memoryFailure when no cipher context can
    // be made; such a cryptor produces nothing.
    StreamCryptor(Operation operation, Mode mode, Algorithm algorithm, Padding padding,
                  std::span<const unsigned char> iv, std::span<const unsigned char> key);
    ~StreamCryptor();
    StreamCryptor(const StreamCryptor&) = delete;
    StreamCryptor& operator=(const StreamCryptor&) = delete;

    Status status() const { return status_; }

    // Runs `byteCountIn` bytes through the cipher into `bufferOut`; `byteCountOut` is what was
    // produced. bufferTooSmall when `byteCapacityOut` is below getOutputLength(byteCountIn).
    Status update(const void* bufferIn, std::size_t byteCountIn, void* bufferOut, std::size_t byteCapacityOut,
                  std::size_t& byteCountOut);
    // Writes what the cipher still holds (with padding, the last block) into `bufferOut`.
    Status final(void* bufferOut, std::size_t byteCapacityOut, std::size_t& byteCountOut);
    // The room update needs for `inputByteCount` bytes (with `isFinal`, update and final
    // together).
    std::size_t getOutputLength(std::size_t inputByteCount, bool isFinal) const;

private:
    EVP_CIPHER_CTX* context_ = nullptr;
    Status status_ = Status::success;
    std::size_t blockSize_ = 1;
    Padding padding_;
    // Bytes taken so far, for telling a misaligned stream from a bad padding.
    std::size_t bytesIn_ = 0;
};

// A failure of preparing a cryptor, with the text to log.
class StreamCryptorError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct CryptStreamCounts {
    std::size_t bytesRead = 0;
    std::size_t bytesWritten = 0;
};

// Pumps `input` through `cryptor` into `output` in fixed buffers until the input ends or fails
// to read, then writes the cryptor's final bytes. The cryptor's status, input.bad() and the
// state of `output` afterwards tell whether everything went through; the counts do not.
CryptStreamCounts cryptStream(StreamCryptor& cryptor, std::istream& input, std::ostream& output);
