#pragma once
// The 64-bit stream family every stored format is read from and written to.
#include <cstdint>
#include <string>
#include <vector>

namespace ruko {

// Abstract 64-bit stream. Reads and writes return the byte count actually moved.
class TKwBigStream
{
public:
    virtual ~TKwBigStream() = default;
    virtual int64_t GetSize() { return 0; }
    virtual int64_t GetPosition() { return 0; }
    virtual void SetPosition(int64_t) {}
    virtual int64_t Write(const void*, int64_t) { return 0; }
    virtual int64_t Read(void*, int64_t) { return 0; }
    // Appends `count` bytes read from `source` (all of it, from its start, when count is 0).
    virtual int64_t CopyFromBig(TKwBigStream& source, int64_t count);

    int64_t Remaining() { return GetSize() - GetPosition(); }
};

// A growable in-memory stream.
class TKwBigMemoryStream : public TKwBigStream
{
public:
    TKwBigMemoryStream() = default;
    explicit TKwBigMemoryStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

    int64_t GetSize() override { return static_cast<int64_t>(bytes_.size()); }
    int64_t GetPosition() override { return position_; }
    void SetPosition(int64_t pos) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Read(void* buffer, int64_t count) override;

    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    std::vector<uint8_t> TakeBytes();
    void Clear();
    // Whole-file helpers on host paths; SaveToFile writes through a temporary file and a rename.
    void LoadFromFile(const std::string& hostPath); // throws ERukoError when unreadable
    void SaveToFile(const std::string& hostPath);   // throws ERukoError when it cannot be written

private:
    std::vector<uint8_t> bytes_;
    int64_t position_ = 0;
};

} // namespace ruko
