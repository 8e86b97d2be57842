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

    // Start-up. With a file named on the command line, that file is opened as the document;
    // when it cannot be opened the user is told why and start-up fails.
    bool InitInstance();

    CMainFrame* MainFrame() const { return m_frame.get(); }
    CVelmorixDoc& Document() { return m_document; }

    // The file named on a command line (program name left out): the first argument that is not
    // an option. Options (arguments beginning with '-') are ignored. Empty when there is none.
    static QString DocumentArgument(const QStringList& arguments);

    // "Velmorix(<date> <time>)  Version:2.32".
    static QString TitleText(const char* buildDate, const char* buildTime);
    static QString Title();

private:
    CVelmorixDoc m_document;
    std::unique_ptr<CMainFrame> m_frame;
};
