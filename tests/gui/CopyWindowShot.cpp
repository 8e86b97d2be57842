// velmorix-copy-shot [SECONDS [cancel]]: shows the copy window in the middle of a transfer of two
// recordings (five parts, 669 MB), 40 % through the third part, and closes it
// after SECONDS (default 8). With "cancel" Cancel has been pressed. Used to take screenshots
// under Xvfb.

#include "app/CVelmorixApp.h"
#include "dialogs/CCopyProgressDlg.h"
#include "recording/CopyProgress.h"

#include <QTimer>

#include <algorithm>

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    int appArgc = 1;
    CVelmorixApp app(appArgc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 8;
    CCopyProgressDlg* dialog = CCopyProgressDlg::ShowCopyWindow(nullptr);

    constexpr std::uint64_t kPart = 133795840;
    vmx::CopyProgress progress;
    progress.start(5 * kPart);
    const vmx::TransferRate::Clock::time_point t0 = vmx::TransferRate::Clock::now() - std::chrono::seconds(25);
    auto at = [t0](double s) { return t0 + std::chrono::milliseconds(static_cast<long long>(s * 1000)); };
    // Two whole parts, then 40 % of the third, in steps of 16 MiB at 15 MB/s.
    double clock = 0;
    for (int part = 0; part < 3; ++part) {
        const std::uint64_t upTo = part < 2 ? kPart : kPart * 2 / 5;
        for (std::uint64_t done = 0, before = 0;; before = done, done = std::min(done + (16u << 20), upTo)) {
            clock += double(done - before) / 15e6;
            dialog->UpdateProgressAt(progress.update(kPart, done), at(clock));
            if (done == upTo)
                break;
        }
    }
    if (argc > 2 && std::strcmp(argv[2], "cancel") == 0)
        QTimer::singleShot(0, dialog, [dialog] { dialog->reject(); });
    QTimer::singleShot(seconds * 1000, &app, [] {
        CCopyProgressDlg::CloseCopyWindow();
        QCoreApplication::quit();
    });
    return app.exec();
}
