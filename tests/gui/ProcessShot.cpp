// velmorix-process-shot cut|en DISK [SECONDS]: starts the program's main window on the receiver
// disk DISK (a writable copy of the demo disk), loads RECORD/DZT000.DB into the left pane and
// then, with clicks and answered questions:
//   cut: cuts the second recording between two marks set on the mark bar (a two-part cut);
//   en:  presses EN on the first recording, merges it into DISK/PC and leaves the settings
//        dialog open with the merged file handed over.
// Closes after SECONDS (default 10). Used to take screenshots under Xvfb.

#include "ModalAnswers.h"

#include "app/CMainFrame.h"
#include "app/CVelmorixApp.h"
#include "controls/CBitmapButton.h"
#include "controls/CMarkBar.h"
#include "view/CVelmorixView.h"
#include "view/FormTemplate.h"

#include <QTableWidget>
#include <QTest>

#include <clocale>
#include <cstdio>
#include <cstdlib>

namespace {

void ClickRow(CVelmorixView* view, int row)
{
    QTableWidget* pane = view->Pane(0);
    QTest::mouseClick(pane->viewport(), Qt::LeftButton, Qt::NoModifier,
                      pane->visualRect(pane->model()->index(row, 1)).center());
}

void ClickMark(CVelmorixView* view, float seconds)
{
    CMarkBar* bar = view->MarkBar();
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(bar->ValueToPixel(seconds), bar->height() / 2));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || (QByteArray(argv[1]) != "cut" && QByteArray(argv[1]) != "en")) {
        std::fputs("usage: velmorix-process-shot cut|en DISK [SECONDS]\n", stderr);
        return 2;
    }
    const bool cut = QByteArray(argv[1]) == "cut";
    const QString disk = QString::fromLocal8Bit(argv[2]);
    const int seconds = argc > 3 ? std::atoi(argv[3]) : 10;
    int appArgc = 1;
    CVelmorixApp app(appArgc, argv);
    std::setlocale(LC_NUMERIC, "C");
    if (!app.InitInstance())
        return 1;
    CVelmorixView* view = app.MainFrame()->View();
    view->Runner().Session().setReceiverRoot(disk.toStdString());
    QTimer::singleShot(seconds * 1000, [&app] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
        app.MainFrame()->close();
    });

    view->LoadDatabases({disk + QStringLiteral("/RECORD/DZT000.DB")});
    if (!QTest::qWaitFor([view] { return view->Pane(0)->rowCount() == 3 && !view->IsBusy(); }, 20000))
        return 1;
    if (cut) {
        ClickRow(view, 1);
        ClickMark(view, 20.0f);
        ClickMark(view, float(view->Runner().Session().pane(0).timingAt(1).secondsPerPart) + 3.0f);
        AnswerMessagesInTurn({QMessageBox::Yes, QMessageBox::Ok});
        QTest::mouseClick(view->Button(ControlId::kCut), Qt::LeftButton);
    } else {
        ClickRow(view, 0);
        AnswerMessagesInTurn({QMessageBox::Yes, QMessageBox::Ok});
        AnswerNextFileDialog(disk, QStringLiteral("PC"));
        QTest::mouseClick(view->Button(ControlId::kConvert), Qt::LeftButton);
    }
    return app.exec();
}
