#include "app/CVelmorixApp.h"

#include "app/CMainFrame.h"
#include "view/CVelmorixView.h"
#include "viewmodel/AppTitle.h"

#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>


CVelmorixApp::CVelmorixApp(int& argc, char** argv)
    : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Velmorix"));
}

CVelmorixApp::~CVelmorixApp() = default;

QString CVelmorixApp::TitleText(const char* buildDate, const char* buildTime)
{
    return QString::fromStdString(vmx::AppTitleText(buildDate, buildTime));
}

QString CVelmorixApp::Title()
{
    return QString::fromStdString(vmx::AppTitle());
}

QStringList CVelmorixApp::DatabaseArguments(const QStringList& arguments)
{
    QStringList databases;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--receiver"))
            ++i;
        else if (!argument.startsWith(QLatin1Char('-')) && databases.size() < 2)
            databases << argument;
    }
    return databases;
}

QString CVelmorixApp::ReceiverArgument(const QStringList& arguments, QString* error)
{
    QString folder;
    QString problem;
    const QLatin1String option("--receiver");
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == option) {
            if (i + 1 == arguments.size()) {
                problem = QStringLiteral("--receiver needs the receiver's folder: velmorix --receiver DIR.");
                break;
            }
            folder = arguments[++i];
        } else if (arguments[i].startsWith(option + QLatin1Char('='))) {
            folder = arguments[i].mid(option.size() + 1);
        }
    }
    if (problem.isEmpty() && !folder.isEmpty() && !QFileInfo(folder).isDir())
        problem = QStringLiteral("the receiver folder %1 does not exist.").arg(folder);
    if (problem.isEmpty() && arguments.contains(option + QLatin1Char('=')))
        problem = QStringLiteral("--receiver needs the receiver's folder: velmorix --receiver DIR.");
    if (error)
        *error = problem;
    return problem.isEmpty() ? folder : QString();
}

namespace {

// The window icon, drawn from the same artwork as the installed icon theme entry, so the window
// has it also when run from the build folder. The sizes up to 64 pixels: the desktop takes larger
// ones from the installed theme.
QIcon ApplicationIcon()
{
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64})
        icon.addFile(QStringLiteral(":/icon/%1.png").arg(size), QSize(size, size));
    return icon;
}

}  // namespace

bool CVelmorixApp::InitInstance()
{
    m_document.OnNewDocument();
    m_frame = std::make_unique<CMainFrame>();
    // main() refused a --receiver folder that is not there before the window was made.
    if (const QString receiver = ReceiverArgument(arguments().mid(1)); !receiver.isEmpty())
        m_frame->View()->Runner().Session().setReceiverRoot(QFile::encodeName(receiver).toStdString());
    m_frame->setWindowTitle(Title());
    // As L and R load them: a database that cannot be loaded is named in a message, and the
    // window stays. They load while the window is set up and before it shows, so that its first
    // frame shows both panes filled; a load that takes longer (a slow disk) has the window show
    // meanwhile.
    const auto show = [frame = m_frame.get()] {
        if (frame->isVisible())
            return;
        frame->show();
        // The icon's drawings (PNG) start Qt's image decoders, which nothing in the first frame
        // needs: the window takes its icon once it has shown.
        QTimer::singleShot(0, frame, [] { QGuiApplication::setWindowIcon(ApplicationIcon()); });
    };
    m_frame->View()->OnInitialUpdate(DatabaseArguments(arguments().mid(1)), show);
    // While the databases load, the window is readied for showing: its controls polished by the
    // style and its native window made (show does both otherwise, after the loads).
    m_frame->ensurePolished();
    (void)m_frame->winId();
    QTimer::singleShot(kShowLoadingAfterMs, m_frame.get(), show);
    return true;
}
