// The bytes a reader walks: a file read through one buffer, or bytes already
// in memory. The readers see only positions, lengths and small spans, so one
// walk serves both.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pf {

class ReadHandle;

class ByteSource {
public:
    // The most bytes one bytes_at call serves.
    static constexpr std::size_t kMaxSpan = 64;

    // Every byte position from 0 up to, not including, the length may be
    // asked for; what lies beyond is not there.
    std::int64_t length() const { return length_; }

    // The n bytes (at most kMaxSpan) at pos, or nullptr when fewer than n are
    // there. The bytes stay valid until the next call. Inline, as a walk over
    // small headers finds nearly all of them in what is held already.
    const unsigned char *bytes_at(std::int64_t pos, std::size_t n) {
        if (pos >= base_ && static_cast<std::uint64_t>(pos - base_) + n <= held_) return data_ + (pos - base_);
        return fetch(pos, n);
    }

    // The reader goes on from here to the end in order, touching nearly every
    // part of the bytes: a file is then read in its largest blocks from the
    // start, not in small reads that grow.
    virtual void reading_in_order() {}

protected:
    ByteSource(const unsigned char *data, std::size_t held, std::int64_t length)
        : data_(data), held_(held), length_(length) {}
    ~ByteSource() = default;

    // bytes_at for what is not held.
    virtual const unsigned char *fetch(std::int64_t pos, std::size_t n) = 0;

    const unsigned char *data_;  // the byte at base_
    std::int64_t base_ = 0;
    std::size_t held_;           // bytes from base_ on
    std::int64_t length_;
};

// Bytes in memory, held whole: every span is served in place.
class MemorySource final : public ByteSource {
public:
    MemorySource(const void *data, std::size_t size)
        : ByteSource(static_cast<const unsigned char *>(data), size, static_cast<std::int64_t>(size)) {}

private:
    const unsigned char *fetch(std::int64_t, std::size_t) override { return nullptr; }
};

// A file read through one buffer: a walk over many small headers costs a
// read per buffer instead of a call per header, and a jump far ahead costs one
// small read. The library is not reentrant and a probe reads one file at a
// time, so every file source shares one buffer.
class FileSource final : public ByteSource {
public:
    // file is open and stays so while the source lives. length is the file's
    // length, known to the caller from the file's status.
    FileSource(const ReadHandle &file, std::int64_t length);

    void reading_in_order() override;

private:
    const unsigned char *fetch(std::int64_t pos, std::size_t n) override;
    bool fill(std::int64_t pos);

    const ReadHandle &file_;
    std::size_t read_size_ = 0;  // of the next read; grows while the walk stays in order
    bool in_order_ = false;      // see reading_in_order
    bool read_yet_ = false;      // whether any read has been made
};

}  // namespace pf
