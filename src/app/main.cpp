#include "app/CVelmorixApp.h"

#include "VelmorixVersion.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

bool HasArgument(int argc, char** argv, const char* wanted)
{
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], wanted))
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    // Answered before anything needs a display, so they work over ssh and in scripts.
    if (HasArgument(argc, argv, "--version")) {
        std::printf("velmorix %s\n", VELMORIX_VERSION);
        return 0;
    }
    if (HasArgument(argc, argv, "--help") || HasArgument(argc, argv, "-h")) {
        std::printf("usage: velmorix [--receiver DIR] [LEFT_DB [RIGHT_DB]] [Qt options]\n"
                    "       velmorix --version\n\n"
                    "The Velmorix desktop program. A recordings database (DZT000.DB, DZR000.DB) named\n"
                    "on the command line is loaded into the left pane, a second one into the right.\n"
                    "--receiver DIR names the receiver's disk for the MP3 and JPEG modes; without it,\n"
                    "the disk of a loaded database, then a mounted volume holding RECORD, MP3 or IMAGE,\n"
                    "then the folder chosen before is used, and failing all, a folder is asked for.\n"
                    "velmorix-cli does the same work from a terminal; see velmorix(1) and velmorix-cli(1).\n");
        return 0;
    }
    {
        QStringList arguments;
        for (int i = 1; i < argc; ++i)
            arguments << QString::fromLocal8Bit(argv[i]);
        QString error;
        (void)CVelmorixApp::ReceiverArgument(arguments, &error);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "velmorix: %s\n", error.toLocal8Bit().constData());
            return 2;
        }
    }
    if (!DisplayAvailable()) {
        std::fputs("velmorix: no display found (DISPLAY and WAYLAND_DISPLAY are not set). Start it in a "
                   "desktop session, or use velmorix-cli to work on a receiver disk from the terminal.\n",
                   stderr);
        return 1;
    }
    // Lets a Wayland compositor match the window with the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(VELMORIX_APP_ID));
    CVelmorixApp app(argc, argv);
    // libmpv parses numbers with the C locale.
    std::setlocale(LC_NUMERIC, "C");
    if (!app.InitInstance())
        return 1;
    return app.exec();
}
