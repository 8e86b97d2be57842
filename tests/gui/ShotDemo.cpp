// velmorix-shot MEDIA [SECONDS [play]]: starts the program's main window as velmorix does, plays
// MEDIA in the player, pauses on a frame after a second and a half (unless "play" is given),
// shows sample details, two marks and the slider, and closes after SECONDS (default 8). Used to
// take screenshots and measurements under Xvfb.

#include "app/CMainFrame.h"
#include "app/CVelmorixApp.h"
#include "controls/CColorLabel.h"
#include "controls/CGomxctrl1.h"
#include "controls/CMarkBar.h"
#include "controls/CSkinSlider.h"
#include "view/CVelmorixView.h"
#include "view/FormTemplate.h"

#include <QTimer>

#include <clocale>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs("usage: velmorix-shot MEDIA [SECONDS [play]]\n", stderr);
        return 2;
    }
    const QString media = QString::fromLocal8Bit(argv[1]);
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 8;
    int appArgc = 1;
    CVelmorixApp app(appArgc, argv);
    std::setlocale(LC_NUMERIC, "C");
    if (!app.InitInstance())
        return 1;
    CVelmorixView* view = app.MainFrame()->View();
    view->Label(ControlId::kDetailsLine1)->SetText(QStringLiteral("Channel Name : Demo Channel"));
    view->Label(ControlId::kDetailsLine2)->SetText(QStringLiteral("TIME: 2007/05/30:14:12:05"));
    view->Label(ControlId::kDetailsLine3)->SetText(QStringLiteral("VID: 512 | AID: 650 | PID: 8190 | ecmPID: 0"));
    for (const int id : {ControlId::kDetailsLine1, ControlId::kDetailsLine2, ControlId::kDetailsLine3}) {
        CColorLabel* label = view->Label(id);
        label->gradientFrom = 0x0000FF;
        label->gradientTo = 0;
        label->textColor = 0xFFFFFF;
        label->alignment = 1;
    }
    CColorLabel* time = view->Label(ControlId::kTimeLabel);
    time->gradientFrom = 0x590A29;
    time->gradientTo = 0x007CFF;
    time->textColor = 0xFFFFFF;
    time->alignment = 1;
    time->SetText(QStringLiteral("Time:00:00:01 | 000001"));
    const std::vector<float> marks{1.2f, 3.1f};
    view->MarkBar()->Initialise(0.0f, 4.0f, 10, 2, &marks, {0x2800FF, 0x0C0D1B, 0x2800FF}, 171);
    view->PositionSlider()->SetRange(0, 4);
    view->PositionSlider()->Enable(true);
    view->PositionSlider()->SetPos(1);
    view->Player()->SetFileName(media);
    if (argc < 4 || QByteArray(argv[3]) != "play")
        QTimer::singleShot(1500, view->Player(), &CGomxctrl1::Pause);
    QTimer::singleShot(seconds * 1000, app.MainFrame(), &QWidget::close);
    return app.exec();
}
