#include "io/bigstream.h"

#include "base/error.h"
#include "base/fileio.h"
#include "base/text.h"

#include "io/fields.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ruko {

int64_t TKwBigStream::CopyFromBig(TKwBigStream& source, int64_t count)
{
    if (count == 0) {
        source.SetPosition(0);
        count = source.GetSize();
    }
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min<int64_t>(count, 1 << 20)));
    int64_t copied = 0;
    while (copied < count) {
        int64_t want = std::min<int64_t>(count - copied, static_cast<int64_t>(buffer.size()));
        int64_t got = source.Read(buffer.data(), want);
        if (got <= 0) break;
        int64_t wrote = Write(buffer.data(), got);
        copied += wrote;
        if (wrote < got) break;
    }
    return copied;
}

void TKwBigMemoryStream::SetPosition(int64_t pos)
{
    position_ = std::clamp<int64_t>(pos, 0, GetSize());
}

int64_t TKwBigMemoryStream::Write(const void* buffer, int64_t count)
{
    if (count <= 0) return 0;
    size_t end = static_cast<size_t>(position_ + count);
    if (end > bytes_.size()) bytes_.resize(end);
    std::memcpy(bytes_.data() + position_, buffer, static_cast<size_t>(count));
    position_ = static_cast<int64_t>(end);
    return count;
}

int64_t TKwBigMemoryStream::Read(void* buffer, int64_t count)
{
    int64_t available = std::clamp<int64_t>(GetSize() - position_, 0, std::max<int64_t>(count, 0));
    if (available > 0) std::memcpy(buffer, bytes_.data() + position_, static_cast<size_t>(available));
    position_ += available;
    return available;
}

std::vector<uint8_t> TKwBigMemoryStream::TakeBytes()
{
    position_ = 0;
    return std::move(bytes_);
}

void TKwBigMemoryStream::Clear()
{
    bytes_.clear();
    position_ = 0;
}

void TKwBigMemoryStream::LoadFromFile(const std::string& hostPath)
{
    std::string content;
    if (!ReadHostFile(hostPath, content))
        RaiseError(FormatText(Utf8ToCp932("%s:ファイルがありません").c_str(), Utf8ToCp932(hostPath).c_str()));
    bytes_.assign(content.begin(), content.end());
    position_ = 0;
}

void TKwBigMemoryStream::SaveToFile(const std::string& hostPath)
{
    std::string_view content(reinterpret_cast<const char*>(bytes_.data()), bytes_.size());
    if (!WriteHostFileAtomic(hostPath, content))
        RaiseError(
            FormatText(Utf8ToCp932("%s:ファイルに書き込めません").c_str(), Utf8ToCp932(hostPath).c_str()));
}

int64_t TMemoryRangeSource::ReadAt(int64_t position, void* buffer, int64_t count) const
{
    int64_t size = SourceSize();
    if (position < 0 || position >= size || count <= 0) return 0;
    int64_t take = std::min(count, size - position);
    std::memcpy(buffer, bytes_.data() + position, static_cast<size_t>(take));
    return take;
}

// --- TKwBigFileStream ---------------------------------------------------------------------------

namespace {

int64_t DescriptorSize(int fd)
{
    struct stat info;
    return fstat(fd, &info) == 0 ? static_cast<int64_t>(info.st_size) : 0;
}

// pread/pwrite until done, retrying interrupted calls.
int64_t ReadFully(int fd, int64_t offset, void* buffer, int64_t count)
{
    int64_t done = 0;
    while (done < count) {
        ssize_t got = pread(fd, static_cast<uint8_t*>(buffer) + done, static_cast<size_t>(count - done),
                            static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += got;
    }
    return done;
}

int64_t WriteFully(int fd, int64_t offset, const void* buffer, int64_t count)
{
    int64_t done = 0;
    while (done < count) {
        ssize_t wrote = pwrite(fd, static_cast<const uint8_t*>(buffer) + done,
                               static_cast<size_t>(count - done), static_cast<off_t>(offset + done));
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) break;
        done += wrote;
    }
    return done;
}

} // namespace

std::string TKwBigFileStream::PartName(const std::string& hostPath, int index)
{
    if (index == 0) return hostPath;
    size_t slash = hostPath.rfind('/');
    size_t dot = hostPath.rfind('.');
    std::string stem = dot != std::string::npos && (slash == std::string::npos || dot > slash)
                           ? hostPath.substr(0, dot)
                           : hostPath;
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%.3d", index);
    return stem + suffix;
}

TKwBigFileStream::TKwBigFileStream(const std::string& hostPath, TFileMode mode, int64_t partSize)
    : fileName_(hostPath), mode_(mode), partSize_(partSize > 0 ? partSize : DefaultPartSize)
{
    if (mode_ == TFileMode::Create) {
        for (int i = 0;; ++i)
            if (unlink(PartName(fileName_, i).c_str()) != 0 && errno == ENOENT) break;
        if (!OpenPart(0, true))
            RaiseError(FormatText(Utf8ToCp932("%s:ファイルを作成できません").c_str(),
                                  Utf8ToCp932(hostPath).c_str()));
        return;
    }
    if (!OpenPart(0, false))
        RaiseError(FormatText(Utf8ToCp932("%s:ファイルがありません").c_str(), Utf8ToCp932(hostPath).c_str()));
    while (DescriptorSize(parts_.back()) == partSize_ && OpenPart(PartCount(), false)) {
    }
}

TKwBigFileStream::~TKwBigFileStream()
{
    if (mode_ != TFileMode::Read) Flush();
    for (int fd : parts_)
        close(fd);
}

bool TKwBigFileStream::OpenPart(int index, bool create)
{
    std::string name = PartName(fileName_, index);
    int flags = O_CLOEXEC;
    if (mode_ == TFileMode::Read)
        flags |= O_RDONLY;
    else
        flags |= O_RDWR;
    if (create) flags |= O_CREAT | (mode_ == TFileMode::Create ? O_TRUNC : 0);
    int fd = open(name.c_str(), flags, 0644);
    if (fd < 0) return false;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return false;
    }
    parts_.push_back(fd);
    return true;
}

int64_t TKwBigFileStream::SourceSize() const
{
    int64_t size = 0;
    for (int fd : parts_)
        size += DescriptorSize(fd);
    return size;
}

void TKwBigFileStream::SetPosition(int64_t pos)
{
    position_ = std::clamp<int64_t>(pos, 0, GetSize());
}

int64_t TKwBigFileStream::ReadAt(int64_t position, void* buffer, int64_t count) const
{
    int64_t done = 0;
    while (done < count && position >= 0) {
        size_t part = static_cast<size_t>((position + done) / partSize_);
        int64_t offset = (position + done) % partSize_;
        if (part >= parts_.size()) break;
        int64_t want = std::min(count - done, partSize_ - offset);
        int64_t got = ReadFully(parts_[part], offset, static_cast<uint8_t*>(buffer) + done, want);
        done += got;
        if (got < want) break; // a short part ends the logical file
    }
    return done;
}

int64_t TKwBigFileStream::Read(void* buffer, int64_t count)
{
    if (count <= 0) return 0;
    int64_t got = ReadAt(position_, buffer, count);
    position_ += got;
    return got;
}

int64_t TKwBigFileStream::Write(const void* buffer, int64_t count)
{
    if (mode_ == TFileMode::Read || count <= 0) return 0;
    int64_t done = 0;
    while (done < count) {
        int part = static_cast<int>(position_ / partSize_);
        int64_t offset = position_ % partSize_;
        while (part >= PartCount())
            if (!OpenPart(PartCount(), true)) return done;
        int64_t want = std::min(count - done, partSize_ - offset);
        int64_t wrote = WriteFully(parts_[static_cast<size_t>(part)], offset,
                                   static_cast<const uint8_t*>(buffer) + done, want);
        done += wrote;
        position_ += wrote;
        if (wrote < want) break;
    }
    return done;
}

bool TKwBigFileStream::Flush()
{
    bool ok = true;
    for (int fd : parts_)
        ok = fsync(fd) == 0 && ok;
    return ok;
}

// --- TKwBuffBigStream ---------------------------------------------------------------------------

TKwBuffBigStream::~TKwBuffBigStream()
{
    int64_t unread = static_cast<int64_t>(buffer_.size() - used_);
    if (unread > 0) source_.SetPosition(source_.GetPosition() - unread);
}

int64_t TKwBuffBigStream::Read(void* buffer, int64_t count)
{
    int64_t done = 0;
    while (done < count) {
        if (used_ == buffer_.size()) {
            int64_t want = std::clamp<int64_t>(source_.GetSize() - source_.GetPosition(), 0, BufferSize);
            buffer_.resize(static_cast<size_t>(want));
            used_ = 0;
            int64_t got = want > 0 ? source_.Read(buffer_.data(), want) : 0;
            buffer_.resize(static_cast<size_t>(std::max<int64_t>(got, 0)));
            if (buffer_.empty()) break; // the source delivered nothing: stop instead of spinning
        }
        int64_t take = std::min<int64_t>(count - done, static_cast<int64_t>(buffer_.size() - used_));
        std::memcpy(static_cast<uint8_t*>(buffer) + done, buffer_.data() + used_, static_cast<size_t>(take));
        used_ += static_cast<size_t>(take);
        done += take;
    }
    return done;
}

void TKwBuffBigStream::ReadExact(void* buffer, int64_t count)
{
    if (count < 0 || Read(buffer, count) != count) RaiseDamaged();
}

uint32_t TKwBuffBigStream::ReadU32()
{
    uint8_t bytes[4];
    ReadExact(bytes, 4);
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// --- TRangeStream -------------------------------------------------------------------------------

TRangeStream::TRangeStream(std::shared_ptr<const TRangeSource> source, int64_t start, int64_t length)
    : source_(std::move(source))
{
    int64_t size = source_ ? source_->SourceSize() : 0;
    start_ = std::clamp<int64_t>(start, 0, size);
    length_ = std::clamp<int64_t>(length, 0, size - start_);
}

std::unique_ptr<TRangeStream> TRangeStream::OpenFile(const std::string& hostPath)
{
    try {
        auto file = std::make_shared<TKwBigFileStream>(hostPath, TFileMode::Read);
        int64_t size = file->SourceSize();
        return std::make_unique<TRangeStream>(std::move(file), 0, size);
    } catch (const ERukoError&) {
        return nullptr;
    }
}

std::unique_ptr<TRangeStream> TRangeStream::OverBytes(std::vector<uint8_t> bytes)
{
    auto source = std::make_shared<TMemoryRangeSource>(std::move(bytes));
    int64_t size = source->SourceSize();
    return std::make_unique<TRangeStream>(std::move(source), 0, size);
}

int64_t TRangeStream::GetPosition()
{
    std::lock_guard<std::mutex> guard(lock_);
    return position_;
}

void TRangeStream::SetPosition(int64_t pos)
{
    Seek(pos, TSeekOrigin::Begin);
}

int64_t TRangeStream::Seek(int64_t offset, TSeekOrigin origin)
{
    std::lock_guard<std::mutex> guard(lock_);
    int64_t target = position_;
    switch (origin) {
    case TSeekOrigin::Begin:
        target = offset;
        break;
    case TSeekOrigin::Current:
        target = position_ + offset;
        break;
    case TSeekOrigin::End:
        target = length_ + offset;
        break;
    }
    position_ = std::clamp<int64_t>(target, 0, length_);
    return position_;
}

int64_t TRangeStream::Read(void* buffer, int64_t count)
{
    std::lock_guard<std::mutex> guard(lock_);
    int64_t take = std::min(count, length_ - position_);
    if (take <= 0 || !source_) return 0;
    int64_t got = source_->ReadAt(start_ + position_, buffer, take);
    position_ += std::max<int64_t>(got, 0);
    return std::max<int64_t>(got, 0);
}

} // namespace ruko
