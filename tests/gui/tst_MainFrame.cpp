#include "app/CMainFrame.h"
#include "app/CVelmorixApp.h"
#include "app/CVelmorixDoc.h"
#include "controls/CBitmapButton.h"
#include "controls/CColorLabel.h"
#include "controls/CGomxctrl1.h"
#include "controls/CMarkBar.h"
#include "controls/CSkinSlider.h"
#include "view/CVelmorixView.h"
#include "view/FormTemplate.h"

#include "recording/RecordingSession.h"

#include <QComboBox>
#include <QMenuBar>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <sys/stat.h>
#include <QTest>
#include <QToolBar>

#include <clocale>

namespace {

// True while a recording session holds the database file cache: another one cannot take it.
bool SessionHeld()
{
    vmx::RecordingSession probe;
    return !probe.init().empty();
}

}  // namespace

class MainFrameTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { std::setlocale(LC_NUMERIC, "C"); }

    void titleCarriesBuildDateAndTime()
    {
        QCOMPARE(CVelmorixApp::TitleText("May 30 2007", "14:12:05"),
                 QStringLiteral("Velmorix(May 30 2007 14:12:05)  Version:2.32"));
        QVERIFY(CVelmorixApp::Title().startsWith(QStringLiteral("Velmorix(")));
    }

    void databaseArgumentsAreTheFirstTwoNonOptions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("databases");
        QTest::newRow("none") << QStringList{} << QStringList{};
        QTest::newRow("one file") << QStringList{"a.db"} << QStringList{"a.db"};
        QTest::newRow("options are ignored") << QStringList{"--verbose", "-x"} << QStringList{};
        QTest::newRow("files around options") << QStringList{"-x", "/tmp/a.db", "--y", "b.db"}
                                              << QStringList{"/tmp/a.db", "b.db"};
        QTest::newRow("a third file is left") << QStringList{"a.DB", "b.DB", "c.DB"} << QStringList{"a.DB", "b.DB"};
        QTest::newRow("the receiver's folder is no database") << QStringList{"--receiver", "/tmp", "a.DB"}
                                                              << QStringList{"a.DB"};
    }
    void databaseArgumentsAreTheFirstTwoNonOptions()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, databases);
        QCOMPARE(CVelmorixApp::DatabaseArguments(arguments), databases);
    }

    void receiverArgument()
    {
        const struct {
            QStringList arguments;
            QString folder;
            bool refused;
        } cases[] = {
            {{"a.DB"}, {}, false},
            {{"--receiver", "/tmp", "a.DB"}, "/tmp", false},
            {{"--receiver=/tmp"}, "/tmp", false},
            {{"a.DB", "--receiver"}, {}, true},
            {{"--receiver="}, {}, true},
            {{"--receiver", "/no/such/folder"}, {}, true},
        };
        for (const auto& c : cases) {
            QString error;
            QCOMPARE(CVelmorixApp::ReceiverArgument(c.arguments, &error), c.folder);
            QCOMPARE(!error.isEmpty(), c.refused);
        }
    }

    void frameHasNoMenuToolOrStatusBar()
    {
        CMainFrame frame;
        QVERIFY(frame.findChild<QMenuBar*>() == nullptr);
        QVERIFY(frame.findChild<QToolBar*>() == nullptr);
        QVERIFY(frame.findChild<QStatusBar*>() == nullptr);
        QCOMPARE(frame.centralWidget(), frame.View());
    }

    void closingReleasesTheStoresExactlyOnce()
    {
        CMainFrame frame;
        frame.View()->OnInitialUpdate();
        frame.show();
        QVERIFY(SessionHeld());
        frame.close();
        QVERIFY(!SessionHeld());
        // A session set up again by someone else is not released by a second close.
        vmx::RecordingSession other;
        QVERIFY(other.init().empty());
        frame.show();
        frame.close();
        QVERIFY(SessionHeld());
    }

    void initialUpdateSetsUpTheControls()
    {
        CMainFrame frame;
        CVelmorixView* view = frame.View();
        view->OnInitialUpdate();
        QCOMPARE(view->BackgroundColor(), vmx::ColorRef(0x0000E1FF));
        QCOMPARE(view->Label(ControlId::kHeaderLabel)->Text(), QStringLiteral("Information"));
        QCOMPARE(view->Label(ControlId::kPathLabel)->Text(), QStringLiteral("<< Load Path >>"));
        QCOMPARE(view->MarkBar()->StyleBits(), 171u);
        QVERIFY(view->MarkBar()->GetMarks().empty());
        QVERIFY(!view->PositionSlider()->IsSliderEnabled());
        for (const FormTemplate::Control& control : FormTemplate::Controls()) {
            if (control.kind != FormTemplate::Kind::Button)
                continue;
            CBitmapButton* button = view->Button(control.id);
            QVERIFY2(button->LoadBitmaps(QString::fromLatin1(control.caption)), control.caption);
            // Artwork is drawn at the control's size, so it is never stretched.
            QCOMPARE(button->sizeHint(), button->size());
        }
        for (const int id : {ControlId::kCut, ControlId::kTransferLeftToRight, ControlId::kTransferRightToLeft})
            QVERIFY(!view->Button(id)->isEnabled());
        QCOMPARE(view->ModeSelector()->count(), 3);
        QCOMPARE(view->ModeSelector()->currentText(), QStringLiteral("RECORD MODE"));
        QCOMPARE(view->Pane(0)->columnCount(), 3);
    }

    void textsFitTheirControls()
    {
        CMainFrame frame;
        CVelmorixView* view = frame.View();
        view->OnInitialUpdate();
        frame.show();
        // Label fonts are no taller than their cell heights, and the fixed texts are not cut off.
        const struct {
            int id;
            int cellHeight;
            int margin;
        } labels[] = {{ControlId::kHeaderLabel, 25, 10}, {ControlId::kPathLabel, 15, 0}};
        for (const auto& label : labels) {
            const CColorLabel* control = view->Label(label.id);
            const QFontMetrics metrics(control->font());
            QVERIFY2(metrics.height() <= label.cellHeight, qPrintable(control->Text()));
            QVERIFY2(metrics.horizontalAdvance(control->Text()) + label.margin <= control->width(),
                     qPrintable(control->Text()));
            QVERIFY2(metrics.height() <= control->height(), qPrintable(control->Text()));
        }
        // The mode selector shows its longest entry whole.
        QVERIFY(view->ModeSelector()->sizeHint().width() <= view->ModeSelector()->width());
    }

    void place_data()
    {
        QTest::addColumn<double>("moveX");
        QTest::addColumn<double>("growY");
        QTest::addColumn<int>("extraWidth");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("design size keeps the place") << 0.5 << 0.5 << 0 << QRect(10, 20, 30, 40);
        QTest::newRow("half the extra width moves it") << 0.5 << 0.0 << 100 << QRect(60, 20, 30, 40);
        QTest::newRow("a smaller window moves nothing") << 0.5 << 0.5 << -80 << QRect(10, 20, 30, 40);
    }
    void place()
    {
        QFETCH(double, moveX);
        QFETCH(double, growY);
        QFETCH(int, extraWidth);
        QFETCH(QRect, expected);
        QCOMPARE(FormTemplate::Place(QRect(10, 20, 30, 40), FormTemplate::Anchor{moveX, 0, 0, growY}, extraWidth, 0),
                 expected);
    }

    void playerAndPanesGrowWithTheWindow()
    {
        CMainFrame frame;
        CVelmorixView* view = frame.View();
        frame.show();
        const vmx::DialogBaseUnits units = vmx::BaseUnitsOf(vmx::DialogFont());
        QCOMPARE(view->size(), view->DesignSize());
        QCOMPARE(view->Player()->geometry(), vmx::DluToPixels(QRect(7, 7, 228, 137), units));
        const QRect right = view->Pane(1)->geometry();
        view->OnInitialUpdate();
        QTableWidget* pane = view->Pane(1);
        QList<int> columns;
        for (int column = 0; column < pane->columnCount(); ++column)
            columns << pane->columnWidth(column);
        view->resize(view->DesignSize() + QSize(200, 100));
        QCOMPARE(view->Player()->size(), vmx::DluToPixels(QRect(7, 7, 228, 137), units).size() + QSize(100, 50));
        QCOMPARE(view->Pane(1)->geometry(), right.translated(100, 50).adjusted(0, 0, 100, 50));
        QCOMPARE(view->MarkBar()->width(), vmx::DluToPixelsX(479, units) + 200);
        // Nothing leaves the form.
        for (const FormTemplate::Control& control : FormTemplate::Controls())
            QVERIFY(view->rect().contains(view->Control(control.id)->geometry()));
        // The rows take the wider pane: every column widens, together by about the pane's gain
        // (the columns filled the pane before as well); at the design size they are as they were.
        int gained = 0;
        for (int column = 0; column < pane->columnCount(); ++column) {
            QVERIFY(pane->columnWidth(column) > columns[column]);
            gained += pane->columnWidth(column) - columns[column];
        }
        QVERIFY2(gained >= 90, qPrintable(QString::number(gained)));
        view->resize(view->DesignSize());
        for (int column = 0; column < pane->columnCount(); ++column)
            QCOMPARE(pane->columnWidth(column), columns[column]);
    }

    void documentOpensWithoutReading()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("notes.txt");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("anything");
        file.close();
        CVelmorixDoc doc;
        QString error;
        QVERIFY(doc.OnOpenDocument(path, &error));
        QCOMPARE(doc.PathName(), QFileInfo(path).absoluteFilePath());
        QVERIFY(!doc.IsModified());

        QVERIFY(!doc.OnOpenDocument(dir.filePath("absent.txt"), &error));
        QVERIFY(error.contains(QStringLiteral("absent.txt")));
        QVERIFY(!doc.OnOpenDocument(dir.path(), &error));
        QVERIFY(error.contains(QStringLiteral("folder")));
        // A named pipe is refused at once: opening it for reading would wait for a writer.
        const QString fifo = dir.filePath("pipe");
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QVERIFY(!doc.OnOpenDocument(fifo, &error));
        QVERIFY(error.contains(QStringLiteral("not a regular file")));
        QCOMPARE(doc.PathName(), QFileInfo(path).absoluteFilePath());
    }
};

QTEST_MAIN(MainFrameTest)
#include "tst_MainFrame.moc"
