#pragma once
// Little-endian field routines shared by every stored format. Readers throw ERukoError with the
// text "ファイルが破壊されています" when the stream ends early or a length exceeds what remains,
// so a damaged file never yields short data or a huge allocation.
#include "base/numbers.h"
#include "io/bigstream.h"

#include <cstdint>
#include <string>

namespace ruko {

[[noreturn]] void RaiseDamaged();

void ReadExact(TKwBigStream& s, void* buffer, int64_t count);
void WriteExact(TKwBigStream& s, const void* buffer, int64_t count);

uint8_t ReadByte(TKwBigStream& s);
bool ReadBool(TKwBigStream& s); // 0 false, anything else true
int32_t ReadInt(TKwBigStream& s);
uint32_t ReadU32(TKwBigStream& s);
uint16_t ReadU16(TKwBigStream& s);
int64_t ReadInt64(TKwBigStream& s);
double ReadDouble(TKwBigStream& s);
Extended ReadExtended(TKwBigStream& s);
// u32 length n then n bytes; n ≤ 0 (as a signed value) is the empty string.
std::string ReadStr(TKwBigStream& s);

void WriteByte(TKwBigStream& s, uint8_t value);
void WriteBool(TKwBigStream& s, bool value);
void WriteInt(TKwBigStream& s, int32_t value);
void WriteU32(TKwBigStream& s, uint32_t value);
void WriteU16(TKwBigStream& s, uint16_t value);
void WriteInt64(TKwBigStream& s, int64_t value);
void WriteDouble(TKwBigStream& s, double value);
void WriteExtended(TKwBigStream& s, Extended value);
void WriteStr(TKwBigStream& s, const std::string& value);

// Checks a count read from a file: it must be ≥ 0 and `count × minBytesEach` must fit in what
// remains of the stream. Throws the damaged-file error otherwise.
void CheckCount(TKwBigStream& s, int64_t count, int64_t minBytesEach);

} // namespace ruko
