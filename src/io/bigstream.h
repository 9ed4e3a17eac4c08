#pragma once
// The 64-bit stream family every stored format is read from and written to.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
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

// Read-only bytes addressed by position. ReadAt keeps no position of its own, so one source may be
// read from several threads at once (media decoders read archive members from their own threads).
class TRangeSource
{
  public:
    virtual ~TRangeSource() = default;
    virtual int64_t SourceSize() const = 0;
    // Reads up to `count` bytes at `position`; returns the number read (0 at or past the end).
    virtual int64_t ReadAt(int64_t position, void* buffer, int64_t count) const = 0;
};

// Bytes held in memory as a range source.
class TMemoryRangeSource : public TRangeSource
{
  public:
    explicit TMemoryRangeSource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    int64_t SourceSize() const override { return static_cast<int64_t>(bytes_.size()); }
    int64_t ReadAt(int64_t position, void* buffer, int64_t count) const override;
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

  private:
    std::vector<uint8_t> bytes_;
};

enum class TFileMode
{
    Read,      // existing parts, read only
    Create,    // old parts deleted; parts created as writing reaches them
    ReadWrite, // existing parts, read and write; parts created as writing reaches them
};

// A logical file made of parts of at most `PartSize` bytes: part 0 is the file itself, part i ≥ 1
// is the name without its extension + "." + i in three digits (game.dat, game.001, game.002, ...).
// Reading continues into part i + 1 only when part i is exactly one part long, so a stray file with
// a matching name never extends a short archive.
class TKwBigFileStream : public TKwBigStream, public TRangeSource
{
  public:
    static constexpr int64_t DefaultPartSize = int64_t{1} << 30;

    // Throws ERukoError ("%s:ファイルがありません" / "%s:ファイルを作成できません") when part 0
    // cannot be opened or created. `partSize` is for tests; stored files always use the default.
    TKwBigFileStream(const std::string& hostPath, TFileMode mode, int64_t partSize = DefaultPartSize);
    ~TKwBigFileStream() override;

    static std::string PartName(const std::string& hostPath, int index);

    int64_t GetSize() override { return SourceSize(); }
    int64_t GetPosition() override { return position_; }
    void SetPosition(int64_t pos) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Read(void* buffer, int64_t count) override;

    int64_t SourceSize() const override;
    int64_t ReadAt(int64_t position, void* buffer, int64_t count) const override;

    // Pushes written data to the disk; false on an I/O error.
    bool Flush();
    const std::string& FileName() const { return fileName_; }
    int PartCount() const { return static_cast<int>(parts_.size()); }

  private:
    bool OpenPart(int index, bool create);

    std::string fileName_;
    TFileMode mode_;
    int64_t partSize_;
    std::vector<int> parts_; // descriptors; a part only follows a full part
    int64_t position_ = 0;
};

// Sequential reader over a big stream in 100 KiB blocks, for directories made of many small
// fields. When destroyed, the source stands exactly after the last byte delivered.
class TKwBuffBigStream
{
  public:
    static constexpr int64_t BufferSize = 102400;

    explicit TKwBuffBigStream(TKwBigStream& source) : source_(source) {}
    ~TKwBuffBigStream();
    TKwBuffBigStream(const TKwBuffBigStream&) = delete;
    TKwBuffBigStream& operator=(const TKwBuffBigStream&) = delete;

    // Returns the bytes obtained; fewer than `count` only when the source ran out.
    int64_t Read(void* buffer, int64_t count);
    // Reads exactly `count` bytes or throws the damaged-file error.
    void ReadExact(void* buffer, int64_t count);
    uint32_t ReadU32();

  private:
    TKwBigStream& source_;
    std::vector<uint8_t> buffer_;
    size_t used_ = 0;
};

enum class TSeekOrigin
{
    Begin,
    Current,
    End,
};

// A read-only window [start, start + length) on a range source. Positions are relative to the
// window. Reads are positional on the source, so windows on one file work from any thread; the lock
// only keeps one window's own position consistent when it is shared.
class TRangeStream : public TKwBigStream
{
  public:
    TRangeStream(std::shared_ptr<const TRangeSource> source, int64_t start, int64_t length);
    // A whole host file, or nullptr when it cannot be opened.
    static std::unique_ptr<TRangeStream> OpenFile(const std::string& hostPath);
    // A window on bytes held in memory.
    static std::unique_ptr<TRangeStream> OverBytes(std::vector<uint8_t> bytes);

    int64_t GetSize() override { return length_; }
    int64_t GetPosition() override;
    void SetPosition(int64_t pos) override;
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void*, int64_t) override { return 0; }
    // Moves within the window (clamped to it) and returns the new position.
    int64_t Seek(int64_t offset, TSeekOrigin origin);

    int64_t Start() const { return start_; }
    const std::shared_ptr<const TRangeSource>& Source() const { return source_; }

  private:
    std::shared_ptr<const TRangeSource> source_;
    int64_t start_;
    int64_t length_;
    int64_t position_ = 0;
    std::mutex lock_;
};

} // namespace ruko
