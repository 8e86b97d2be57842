#include "app/CVelmorixApp.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>

namespace {

// Without a display Qt would abort with a terse message; say what to do instead.
bool DisplayAvailable()
{
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0';
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char** argv)
{
    if (!DisplayAvailable()) {
        std::fputs("velmorix: no display found (DISPLAY and WAYLAND_DISPLAY are not set). Start it in a "
                   "desktop session, or use velmorix-cli to work on a receiver disk from the terminal.\n",
                   stderr);
        return 1;
    }
    CVelmorixApp app(argc, argv);
    // libmpv parses numbers with the C locale.
    std::setlocale(LC_NUMERIC, "C");
    if (!app.InitInstance())
        return 1;
    return app.exec();
}
