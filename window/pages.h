#pragma once

// Indices of the pages of stackedWidget, in the order the form adds them.
enum Page {
    CardPage = 0,        // holder's data, photo and social security line
    ReadTipPage = 1,     // "please place the card"
    FingerprintPage = 2, // fingerprint data as hexadecimal text
    ReadOptionsPage = 3, // read options; nothing selects it
};
