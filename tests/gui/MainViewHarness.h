#pragma once

#include "DemoDiskCopy.h"
#include "ModalAnswers.h"

#include "app/CMainFrame.h"
#include "controls/CBitmapButton.h"
#include "controls/CColorLabel.h"
#include "controls/CGomxctrl1.h"
#include "controls/CSkinSlider.h"
#include "view/CSessionWorker.h"
#include "view/CUndoCommands.h"
#include "view/CVelmorixView.h"
#include "view/CViewPlayer.h"
#include "view/FormTemplate.h"

#include <QComboBox>
#include <QTableWidget>
#include <QTest>

#include <clocale>
#include <cstdlib>
#include <memory>

// The main window on a demo disk of its own, driven as a user drives it.
class MainViewHarness {
public:
    static constexpr int kOperationMs = 30000;

    MainViewHarness()
    {
        std::setlocale(LC_NUMERIC, "C");
        frame = std::make_unique<CMainFrame>();
        view = frame->View();
        view->OnInitialUpdate();
        view->Runner().Session().setReceiverRoot(disk.root().toStdString());
        frame->show();
    }
    ~MainViewHarness()
    {
        // What the test's deletions and cuts kept for undo goes first, so that closing asks
        // nothing about it (and remembers no answer in the user's settings).
        if (Idle() && !view->UndoCommands().EmptyButton()->isHidden()) {
            view->UndoCommands().EmptyUndo();
            (void)Idle();
        }
        // The window closes once an operation has ended; the stores are released then.
        frame->close();
        (void)QTest::qWaitFor([this] { return !frame->isVisible(); }, kOperationMs);
    }

    bool Idle() const { return QTest::qWaitFor([this] { return !view->IsBusy(); }, kOperationMs); }

    void Click(int id) { QTest::mouseClick(view->Button(id), Qt::LeftButton); }

    // L or R, answering the file dialog with `db`; returns once the load has ended.
    bool Load(int side, const QString& db)
    {
        AnswerNextFileDialog(QFileInfo(db).path(), QFileInfo(db).fileName());
        Click(side == 0 ? ControlId::kLoadLeft : ControlId::kLoadRight);
        return Idle();
    }

    QRect RowRect(int side, int row) const
    {
        QTableWidget* pane = view->Pane(side);
        return pane->visualRect(pane->model()->index(row, 1));
    }
    void ClickRow(int side, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mouseClick(view->Pane(side)->viewport(), Qt::LeftButton, modifiers, RowRect(side, row).center());
    }
    // A click below the last row.
    void ClickBlank(int side)
    {
        QWidget* viewport = view->Pane(side)->viewport();
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(10, viewport->height() - 5));
    }
    void PressDelete(int side) { QTest::keyClick(view->Pane(side), Qt::Key_Delete); }

    QStringList Column(int side, int column) const
    {
        QStringList texts;
        QTableWidget* pane = view->Pane(side);
        for (int row = 0; row < pane->rowCount(); ++row)
            texts << (pane->item(row, column) ? pane->item(row, column)->text() : QString());
        return texts;
    }
    QStringList Headers(int side) const
    {
        QStringList titles;
        QTableWidget* pane = view->Pane(side);
        for (int column = 0; column < pane->columnCount(); ++column)
            titles << pane->horizontalHeaderItem(column)->text();
        return titles;
    }
    QString LabelText(int id) const { return view->Label(id)->Text(); }
    bool Enabled(int id) const { return view->Control(id)->isEnabled(); }

    // Chooses a mode with the arrow keys on the mode selector, one entry at a time (the
    // selector is off while the mode switch before works).
    bool ChooseMode(int index)
    {
        QComboBox* selector = view->ModeSelector();
        selector->setFocus();
        const int steps = index - selector->currentIndex();
        for (int i = 0; i < std::abs(steps); ++i) {
            QTest::keyClick(selector, steps > 0 ? Qt::Key_Down : Qt::Key_Up);
            if (!Idle())
                return false;
        }
        return true;
    }

    // A click on the position slider where it shows `position` seconds.
    void ClickSliderAt(int position)
    {
        CSkinSlider* slider = view->PositionSlider();
        QTest::mouseClick(slider, Qt::LeftButton, Qt::NoModifier,
                          QPoint(slider->PixelOfPosition(position), slider->height() / 2));
        // The slider posts its messages to the view: let them arrive.
        QCoreApplication::sendPostedEvents(view);
    }

    DemoDiskCopy disk;
    std::unique_ptr<CMainFrame> frame;
    CVelmorixView* view = nullptr;
};
