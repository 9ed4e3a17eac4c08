#include "io/fields.h"

#include "base/error.h"
#include "base/text.h"

#include <cstring>

namespace ruko {

void RaiseDamaged()
{
    RaiseError(Utf8ToCp932("ファイルが破壊されています"));
}

void ReadExact(TKwBigStream& s, void* buffer, int64_t count)
{
    if (count < 0 || s.Read(buffer, count) != count) RaiseDamaged();
}

void WriteExact(TKwBigStream& s, const void* buffer, int64_t count)
{
    if (count > 0 && s.Write(buffer, count) != count) RaiseError(Utf8ToCp932("ファイルに書き込めません"));
}

namespace {

template <typename T> T ReadLittle(TKwBigStream& s)
{
    uint8_t bytes[sizeof(T)];
    ReadExact(s, bytes, sizeof bytes);
    uint64_t value = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
        value |= static_cast<uint64_t>(bytes[i]) << (8 * i);
    return static_cast<T>(value);
}

template <typename T> void WriteLittle(TKwBigStream& s, T value)
{
    uint8_t bytes[sizeof(T)];
    uint64_t bits = static_cast<uint64_t>(value);
    for (size_t i = 0; i < sizeof(T); ++i)
        bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
    WriteExact(s, bytes, sizeof bytes);
}

} // namespace

uint8_t ReadByte(TKwBigStream& s)
{
    return ReadLittle<uint8_t>(s);
}
bool ReadBool(TKwBigStream& s)
{
    return ReadByte(s) != 0;
}
int32_t ReadInt(TKwBigStream& s)
{
    return static_cast<int32_t>(ReadLittle<uint32_t>(s));
}
uint32_t ReadU32(TKwBigStream& s)
{
    return ReadLittle<uint32_t>(s);
}
uint16_t ReadU16(TKwBigStream& s)
{
    return ReadLittle<uint16_t>(s);
}
int64_t ReadInt64(TKwBigStream& s)
{
    return static_cast<int64_t>(ReadLittle<uint64_t>(s));
}

double ReadDouble(TKwBigStream& s)
{
    uint64_t bits = ReadLittle<uint64_t>(s);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

Extended ReadExtended(TKwBigStream& s)
{
    uint8_t bytes[ExtendedSize];
    ReadExact(s, bytes, sizeof bytes);
    return DecodeExtended(bytes);
}

std::string ReadStr(TKwBigStream& s)
{
    int32_t length = ReadInt(s);
    if (length <= 0) return std::string();
    CheckCount(s, length, 1);
    std::string value(static_cast<size_t>(length), '\0');
    ReadExact(s, value.data(), length);
    return value;
}

void WriteByte(TKwBigStream& s, uint8_t value)
{
    WriteLittle<uint8_t>(s, value);
}
void WriteBool(TKwBigStream& s, bool value)
{
    WriteByte(s, value ? 1 : 0);
}
void WriteInt(TKwBigStream& s, int32_t value)
{
    WriteLittle<uint32_t>(s, static_cast<uint32_t>(value));
}
void WriteU32(TKwBigStream& s, uint32_t value)
{
    WriteLittle<uint32_t>(s, value);
}
void WriteU16(TKwBigStream& s, uint16_t value)
{
    WriteLittle<uint16_t>(s, value);
}
void WriteInt64(TKwBigStream& s, int64_t value)
{
    WriteLittle<uint64_t>(s, static_cast<uint64_t>(value));
}

void WriteDouble(TKwBigStream& s, double value)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    WriteLittle<uint64_t>(s, bits);
}

void WriteExtended(TKwBigStream& s, Extended value)
{
    uint8_t bytes[ExtendedSize];
    EncodeExtended(value, bytes);
    WriteExact(s, bytes, sizeof bytes);
}

void WriteStr(TKwBigStream& s, const std::string& value)
{
    WriteInt(s, static_cast<int32_t>(value.size()));
    WriteExact(s, value.data(), static_cast<int64_t>(value.size()));
}

void CheckCount(TKwBigStream& s, int64_t count, int64_t minBytesEach)
{
    if (count < 0) RaiseDamaged();
    int64_t remaining = s.Remaining();
    if (minBytesEach > 0 && count > remaining / minBytesEach) RaiseDamaged();
}

} // namespace ruko
