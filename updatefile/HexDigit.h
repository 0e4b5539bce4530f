#pragma once

// Value of an upper-case hexadecimal digit of an S-record: "0".."9" -> 0..9, "A".."F" ->
// 10..15, anything else (lower case included) -1.
constexpr int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
