#include "app/CVelmorixApp.h"

#include "app/CMainFrame.h"
#include "view/CVelmorixView.h"


CVelmorixApp::CVelmorixApp(int& argc, char** argv)
    : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Velmorix"));
}

CVelmorixApp::~CVelmorixApp() = default;

QString CVelmorixApp::TitleText(const char* buildDate, const char* buildTime)
{
    return QString::asprintf("Velmorix(%s %s)  Version:2.32", buildDate, buildTime);
}

QString CVelmorixApp::Title()
{
    return TitleText(__DATE__, __TIME__);
}

QStringList CVelmorixApp::DatabaseArguments(const QStringList& arguments)
{
    QStringList databases;
    for (const QString& argument : arguments) {
        if (!argument.startsWith(QLatin1Char('-')) && databases.size() < 2)
            databases << argument;
    }
    return databases;
}

bool CVelmorixApp::InitInstance()
{
    m_document.OnNewDocument();
    m_frame = std::make_unique<CMainFrame>();
    m_frame->View()->OnInitialUpdate();
    m_frame->setWindowTitle(Title());
    m_frame->show();
    // As L and R load them: a database that cannot be loaded is named in a message, and the
    // window stays.
    m_frame->View()->LoadDatabases(DatabaseArguments(arguments().mid(1)));
    return true;
}
