#pragma once

#include <string>

// The ISO 7064 MOD 11-2 check character of a citizen number, from its first 17 digits.
inline char citizenCheckCharacter(const std::string &first17)
{
    static const int weights[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    int sum = 0;
    for (size_t i = 0; i < 17 && i < first17.size(); ++i)
        sum += (first17[i] - '0') * weights[i];
    return "10X98765432"[sum % 11];
}
