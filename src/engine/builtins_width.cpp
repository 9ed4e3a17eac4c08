// HanToZen and ZenToHan: the JIS X 0201 half-width characters of Shift-JIS and their JIS X 0208
// full-width forms.
#include "base/text.h"
#include "engine/builtins_support.h"

#include <array>

namespace ruko::builtins {

namespace {

// Full-width code of each printable ASCII byte 0x20..0x7E.
// clang-format off
constexpr uint16_t AsciiZen[95] = {
    0x8140, 0x8149, 0x8168, 0x8194, 0x8190, 0x8193, 0x8195, 0x8166, 0x8169, 0x816A, 0x8196, 0x817B, // ' '..'+'
    0x8143, 0x817C, 0x8144, 0x815E,                                                                 // ','..'/'
    0x824F, 0x8250, 0x8251, 0x8252, 0x8253, 0x8254, 0x8255, 0x8256, 0x8257, 0x8258,                 // '0'..'9'
    0x8146, 0x8147, 0x8183, 0x8181, 0x8184, 0x8148, 0x8197,                                         // ':'..'@'
    0x8260, 0x8261, 0x8262, 0x8263, 0x8264, 0x8265, 0x8266, 0x8267, 0x8268, 0x8269, 0x826A, 0x826B, 0x826C,
    0x826D, 0x826E, 0x826F, 0x8270, 0x8271, 0x8272, 0x8273, 0x8274, 0x8275, 0x8276, 0x8277, 0x8278, 0x8279,
    0x816D, 0x818F, 0x816E, 0x814F, 0x8151, 0x8165, // '['..'`'
    0x8281, 0x8282, 0x8283, 0x8284, 0x8285, 0x8286, 0x8287, 0x8288, 0x8289, 0x828A, 0x828B, 0x828C, 0x828D,
    0x828E, 0x828F, 0x8290, 0x8291, 0x8292, 0x8293, 0x8294, 0x8295, 0x8296, 0x8297, 0x8298, 0x8299, 0x829A,
    0x816F, 0x8162, 0x8170, 0x8160, // '{'..'~'
};
// clang-format on

// Full-width code of each half-width katakana or sign 0xA1..0xDF.
constexpr uint16_t KanaZen[63] = {
    0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340, 0x8342, 0x8344, 0x8346, 0x8348, 0x8383, 0x8385,
    0x8387, 0x8362, 0x815B, 0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x834A, 0x834C, 0x834E, 0x8350, 0x8352,
    0x8354, 0x8356, 0x8358, 0x835A, 0x835C, 0x835E, 0x8360, 0x8363, 0x8365, 0x8367, 0x8369, 0x836A, 0x836B,
    0x836C, 0x836D, 0x836E, 0x8371, 0x8374, 0x8377, 0x837A, 0x837D, 0x837E, 0x8380, 0x8381, 0x8382, 0x8384,
    0x8386, 0x8388, 0x8389, 0x838A, 0x838B, 0x838C, 0x838D, 0x838F, 0x8393, 0x814A, 0x814B,
};

constexpr unsigned char VoicedMark = 0xDE, SemiVoicedMark = 0xDF;

constexpr bool TakesVoicedMark(unsigned char kana)
{
    return (kana >= 0xB6 && kana <= 0xC4) || (kana >= 0xCA && kana <= 0xCE);
}
constexpr bool TakesSemiVoicedMark(unsigned char kana)
{
    return kana >= 0xCA && kana <= 0xCE;
}

uint16_t ZenOf(unsigned char byte)
{
    if (byte >= 0x20 && byte <= 0x7E) return AsciiZen[byte - 0x20];
    if (byte >= 0xA1 && byte <= 0xDF) return KanaZen[byte - 0xA1];
    return 0;
}

void AppendCode(std::string& out, uint16_t code)
{
    out += static_cast<char>(code >> 8);
    out += static_cast<char>(code & 0xFF);
}

// Full-width code → the half-width bytes it comes back as (one byte, or kana and mark).
struct THanTable
{
    THanTable()
    {
        for (int byte = 0x20; byte <= 0xDF; ++byte)
            if (uint16_t code = ZenOf(static_cast<unsigned char>(byte)))
                Put(code, std::string(1, static_cast<char>(byte)));
        Put(0x8167, "\""); // both curly double quotes come back as '"'
        for (int kana = 0xB6; kana <= 0xCE; ++kana) {
            auto k = static_cast<unsigned char>(kana);
            if (TakesVoicedMark(k))
                Put(static_cast<uint16_t>(ZenOf(k) + 1),
                    std::string{static_cast<char>(k), static_cast<char>(VoicedMark)});
            if (TakesSemiVoicedMark(k))
                Put(static_cast<uint16_t>(ZenOf(k) + 2),
                    std::string{static_cast<char>(k), static_cast<char>(SemiVoicedMark)});
        }
        Put(0x8394, "\xB3\xDE"); // vu
    }
    void Put(uint16_t code, std::string han)
    {
        if (code >= 0x8100 && code < 0x8400) Entries[code - 0x8100] = std::move(han);
    }
    const std::string* Find(uint16_t code) const
    {
        if (code < 0x8100 || code >= 0x8400 || Entries[code - 0x8100].empty()) return nullptr;
        return &Entries[code - 0x8100];
    }
    std::array<std::string, 0x300> Entries;
};

} // namespace

std::string HanToZen(const std::string& text)
{
    std::string out;
    out.reserve(text.size() * 2);
    for (size_t pos = 0; pos < text.size();) {
        size_t length = CharLength(text, pos);
        auto byte = static_cast<unsigned char>(text[pos]);
        if (length == 2) {
            out.append(text, pos, 2);
        } else if (uint16_t code = ZenOf(byte)) {
            unsigned char next = pos + 1 < text.size() ? static_cast<unsigned char>(text[pos + 1]) : 0;
            if (next == VoicedMark && TakesVoicedMark(byte)) {
                AppendCode(out, static_cast<uint16_t>(code + 1));
                ++pos;
            } else if (next == SemiVoicedMark && TakesSemiVoicedMark(byte)) {
                AppendCode(out, static_cast<uint16_t>(code + 2));
                ++pos;
            } else {
                AppendCode(out, code);
            }
        }
        // Control characters and bytes without a full-width form are dropped.
        pos += length;
    }
    return out;
}

std::string ZenToHan(const std::string& text)
{
    static const THanTable& table = *new THanTable; // never destroyed
    std::string out;
    for (size_t pos = 0; pos < text.size();) {
        size_t length = CharLength(text, pos);
        if (length == 2) {
            auto code = static_cast<uint16_t>(static_cast<unsigned char>(text[pos]) << 8 |
                                              static_cast<unsigned char>(text[pos + 1]));
            if (const std::string* han = table.Find(code)) out += *han;
        } else if (!IsLeadByte(static_cast<unsigned char>(text[pos]))) {
            out += text[pos];
        }
        pos += length;
    }
    return out;
}

namespace {

void HanToZenBody(TFuncCall& call, TBuiltinServices&)
{
    call.Result.Value->SetStr(HanToZen(call.Arg(0).GetStr()));
}
void ZenToHanBody(TFuncCall& call, TBuiltinServices&)
{
    call.Result.Value->SetStr(ZenToHan(call.Arg(0).GetStr()));
}

} // namespace

void RegisterWidthBuiltins(TRegistrar& r)
{
    r.Add("HanToZen", HanToZenBody);
    r.Add("ZenToHan", ZenToHanBody);
}

} // namespace ruko::builtins
