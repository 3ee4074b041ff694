// libFuzzer target of the settings file and the font string: any bytes must
// read without harm, and what the program saves must read back the same.
#include "settings/settings.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace torvale;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    TIniPlus ini;
    ini.Parse(text);
    Settings settings;
    LoadSettings(ini, settings, FontDescription{});
    SaveSettings(ini, settings);

    TIniPlus back;
    back.Parse(ini.Text());
    Settings again;
    LoadSettings(back, again, FontDescription{});
    if (!(again == settings))
        std::abort();
    SaveSettings(back, again);
    if (back.Text() != ini.Text())
        std::abort(); // a saved file is saved again unchanged

    FontDescription font;
    if (StringToFont(text, font).empty()) {
        FontDescription read;
        if (!StringToFont(FontToString(font), read).empty() || !(read == font))
            std::abort();
    }
    return 0;
}
