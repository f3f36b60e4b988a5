// The code pages that Windows has and that keep ASCII as it is, by the names
// that iconv gives them: the only ones either builder accepts (the Windows
// builder converts names with these), and the ones the bash completion
// offers for --codepage.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct KnownCodePage {
    const char* names;   // separated by spaces, the usual one first
    uint32_t number;     // Windows' identifier of the code page
    // Windows maps the bytes these code pages leave undefined to the C1
    // controls U+0080..U+009F; iconv, and so the Linux builder, refuses them.
    bool controlsUndefined;
};

const std::vector<KnownCodePage>& KnownCodePages();
// The row that has the name among its names, in any case; null when none has.
const KnownCodePage* FindKnownCodePage(const std::string& name);
// The usual name of each, in the table's order.
std::vector<std::string> UsualCodePageNames();
