// velmorix-copy-shot [SECONDS [cancel]] [--over LEFT_DB RIGHT_DB]: shows the copy window in the
// middle of a transfer of two recordings (five parts, 669 MB), 40 % through the third part, and
// closes it after SECONDS (default 8). With "cancel" Cancel has been pressed. With --over the
// program's main window is shown first, the two databases loaded into its panes and the first
// recording of the left pane selected, and the copy window stands over it. Used to take
// screenshots under Xvfb.

#include "app/CMainFrame.h"
#include "app/CVelmorixApp.h"
#include "dialogs/CCopyProgressDlg.h"
#include "recording/CopyProgress.h"
#include "view/CSessionWorker.h"
#include "view/CVelmorixView.h"

#include <QTableWidget>
#include <QTimer>

#include <algorithm>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void ShowMidCopy(QWidget* owner, bool cancel)
{
    CCopyProgressDlg* dialog = CCopyProgressDlg::ShowCopyWindow(owner);
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
    if (cancel)
        QTimer::singleShot(0, dialog, [dialog] { dialog->reject(); });
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<char*> args{argv[0]};
    int seconds = 8;
    bool cancel = false;
    bool over = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--over") && i + 2 < argc) {
            over = true;
            args.push_back(argv[++i]);
            args.push_back(argv[++i]);
        } else if (!std::strcmp(argv[i], "cancel")) {
            cancel = true;
        } else {
            seconds = std::atoi(argv[i]);
        }
    }
    int appArgc = int(args.size());
    CVelmorixApp app(appArgc, args.data());
    std::setlocale(LC_NUMERIC, "C");
    if (!over) {
        ShowMidCopy(nullptr, cancel);
    } else {
        if (!app.InitInstance())
            return 1;
        CVelmorixView* view = app.MainFrame()->View();
        // Once both panes are loaded: the first recording of the left pane chosen, the copy running.
        QObject::connect(&view->Runner().Worker(), &CSessionWorker::busyChanged, view, [view, cancel](bool busy) {
            if (busy || !view->State().pane(1).loaded || CCopyProgressDlg::Current())
                return;
            view->Pane(0)->selectRow(0);
            ShowMidCopy(view, cancel);
        });
    }
    QTimer::singleShot(seconds * 1000, &app, [] {
        CCopyProgressDlg::CloseCopyWindow();
        QCoreApplication::quit();
    });
    return app.exec();
}
