#pragma once

namespace quorvane::utf8 {

// Writes the code point's UTF-8 bytes (one to four) at `out` and returns the end. The caller has made the
// room and passes a code point, never a surrogate.
inline char* put(char32_t code, char* out)
{
    if (code < 0x80) {
        *out++ = static_cast<char>(code);
        return out;
    }
    if (code < 0x800) {
        *out++ = static_cast<char>(0xC0 | (code >> 6));
    } else {
        if (code < 0x10000) {
            *out++ = static_cast<char>(0xE0 | (code >> 12));
        } else {
            *out++ = static_cast<char>(0xF0 | (code >> 18));
            *out++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        }
        *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    }
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
    return out;
}

} // namespace quorvane::utf8
