#pragma once

#include "app/CVelmorixDoc.h"

#include <QApplication>

#include <memory>

class CMainFrame;

// The application: creates the document, the main frame and its view, titles and shows it.
class CVelmorixApp : public QApplication {
    Q_OBJECT
public:
    CVelmorixApp(int& argc, char** argv);
    ~CVelmorixApp() override;

    // Start-up: the document, the main window with its view, shown; then the databases named on
    // the command line are loaded into the left and the right pane.
    bool InitInstance();

    CMainFrame* MainFrame() const { return m_frame.get(); }
    CVelmorixDoc& Document() { return m_document; }

    // The databases named on a command line (program name left out): the first two arguments
    // that are not options, for the left and the right pane. Options (arguments beginning with
    // '-') are ignored.
    static QStringList DatabaseArguments(const QStringList& arguments);

    // "Velmorix(<date> <time>)  Version:2.32".
    static QString TitleText(const char* buildDate, const char* buildTime);
    static QString Title();

private:
    CVelmorixDoc m_document;
    std::unique_ptr<CMainFrame> m_frame;
};
