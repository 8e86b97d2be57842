#include "app/CVelmorixApp.h"

#include "app/CMainFrame.h"
#include "view/CVelmorixView.h"

#include <QMessageBox>

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

QString CVelmorixApp::DocumentArgument(const QStringList& arguments)
{
    for (const QString& argument : arguments) {
        if (!argument.startsWith(QLatin1Char('-')))
            return argument;
    }
    return {};
}

bool CVelmorixApp::InitInstance()
{
    const QString file = DocumentArgument(arguments().mid(1));
    if (file.isEmpty()) {
        m_document.OnNewDocument();
    } else {
        QString error;
        if (!m_document.OnOpenDocument(file, &error)) {
            QMessageBox::critical(nullptr, QStringLiteral("Velmorix"), error);
            return false;
        }
    }
    m_frame = std::make_unique<CMainFrame>();
    m_frame->View()->OnInitialUpdate();
    m_frame->setWindowTitle(Title());
    m_frame->show();
    return true;
}
