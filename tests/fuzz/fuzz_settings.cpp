// libFuzzer target of the settings file and the font string: any bytes must
// read without harm, and what the program saves must be a file the reader
// takes (no NUL, within the size limit) that reads back the same.
#include "settings/settings.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace torvale;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    FontDescription font;
    if (StringToFont(text, font).empty()) {
        FontDescription read;
        if (!StringToFont(FontToString(font), read).empty() || !(read == font))
            std::abort();
    }

    TIniPlus ini;
    ini.Parse(text);
    Settings settings;
    LoadSettings(ini, settings, FontDescription{});
    // Load refuses a file with a NUL, so its keys never reach SaveSettings;
    // values the user typed may still hold one, and are cut there.
    const bool loadable = text.find('\0') == std::string_view::npos;
    if (!loadable)
        ini.Clear();
    SaveSettings(ini, settings);
    if (ini.Text().size() > TIniPlus::kMaxFileSize || ini.Text().find('\0') != std::string::npos)
        std::abort();
    if (!loadable)
        return 0;

    TIniPlus back;
    back.Parse(ini.Text());
    Settings again;
    LoadSettings(back, again, FontDescription{});
    if (!(again == settings))
        std::abort();
    SaveSettings(back, again);
    if (back.Text() != ini.Text())
        std::abort(); // a saved file is saved again unchanged
    return 0;
}
