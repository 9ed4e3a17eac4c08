#pragma once
// Text helpers shared by the scenario compiler and the dumper. All work on CP932 text and step
// over double-byte characters and quoted strings ("..." with backslash escapes) as wholes.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ruko {

std::string_view Trim(std::string_view text);
// Position of `ch` outside quotes and brackets ((), [], {}), npos when none.
size_t FindTopLevel(std::string_view text, char ch);
size_t FindTopLevelText(std::string_view text, std::string_view what);
// Position of a blank-delimited word outside quotes and brackets.
size_t FindTopLevelWord(std::string_view text, std::string_view word);
// Position of the bracket closing the one at `open`.
size_t MatchClose(std::string_view text, size_t open);
// Pieces between top-level separators, with their offsets.
std::vector<std::pair<std::string_view, size_t>> SplitTopLevel(std::string_view text, char separator);
std::vector<std::string> SplitWords(std::string_view text);
std::optional<int32_t> ParseInt(std::string_view text);
// Decimal 0..4294967295 (line numbers and indents are stored unsigned).
std::optional<uint32_t> ParseUnsigned(std::string_view text);

// "int", "real", "flag", "string" or "#N"; -1 when unknown.
int TypeCodeOf(std::string_view word);
std::string TypeWord(int code);
// "global", "call", "local", "persistent" or "#N"; -1 when unknown.
int PlacementOf(std::string_view word);
std::string PlacementWord(int code);

// Quoted strings of the source language: \" \\ \n \r \t and \xHH.
bool Unquote(std::string_view quoted, std::string& value);
std::string Quote(std::string_view value);

std::string EncodeHex(const std::vector<uint8_t>& bytes);
bool DecodeHex(std::string_view hex, std::vector<uint8_t>& bytes);

// The stored form of an expression with no steps.
std::vector<uint8_t> EmptyProgram();
// "{#hex}": a stored program written out byte for byte; false when malformed or damaged.
bool DecodeRawProgram(std::string_view text, std::vector<uint8_t>& bytes);

} // namespace ruko
