#pragma once

// Chinese and Japanese text, which is set without spaces and may break between any two of its
// characters. Any thread.

inline bool isIdeographic(char16_t u)
{
    return (u >= 0x2E80 && u <= 0x9FFF) // radicals, CJK punctuation, kana, ideographs
        || (u >= 0xF900 && u <= 0xFAFF) // compatibility ideographs
        || (u >= 0xFF00 && u <= 0xFFEF); // full-width forms
}
