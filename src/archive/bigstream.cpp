#include "archive/bigstream.h"

#include "base/error.h"
#include "base/fileio.h"
#include "base/text.h"

#include <algorithm>
#include <cstring>

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
        if (got <= 0)
            break;
        int64_t wrote = Write(buffer.data(), got);
        copied += wrote;
        if (wrote < got)
            break;
    }
    return copied;
}

void TKwBigMemoryStream::SetPosition(int64_t pos)
{
    position_ = std::clamp<int64_t>(pos, 0, GetSize());
}

int64_t TKwBigMemoryStream::Write(const void* buffer, int64_t count)
{
    if (count <= 0)
        return 0;
    size_t end = static_cast<size_t>(position_ + count);
    if (end > bytes_.size())
        bytes_.resize(end);
    std::memcpy(bytes_.data() + position_, buffer, static_cast<size_t>(count));
    position_ = static_cast<int64_t>(end);
    return count;
}

int64_t TKwBigMemoryStream::Read(void* buffer, int64_t count)
{
    int64_t available = std::clamp<int64_t>(GetSize() - position_, 0, std::max<int64_t>(count, 0));
    if (available > 0)
        std::memcpy(buffer, bytes_.data() + position_, static_cast<size_t>(available));
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
        RaiseError(FormatText("%s:ファイルがありません", Utf8ToCp932(hostPath).c_str()));
    bytes_.assign(content.begin(), content.end());
    position_ = 0;
}

void TKwBigMemoryStream::SaveToFile(const std::string& hostPath)
{
    std::string_view content(reinterpret_cast<const char*>(bytes_.data()), bytes_.size());
    if (!WriteHostFileAtomic(hostPath, content))
        RaiseError(FormatText("%s:ファイルに書き込めません", Utf8ToCp932(hostPath).c_str()));
}

} // namespace ruko
