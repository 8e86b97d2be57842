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

    // Start-up: the document, the main window with its view; the databases named on the command
    // line are loaded into the left and the right pane, and the window shows once they have been
    // (or after kShowLoadingAfterMs, while they still load).
    bool InitInstance();
    static constexpr int kShowLoadingAfterMs = 300;

    CMainFrame* MainFrame() const { return m_frame.get(); }
    CVelmorixDoc& Document() { return m_document; }

    // The databases named on a command line (program name left out): the first two arguments
    // that are not options, for the left and the right pane. Options (arguments beginning with
    // '-') are ignored, and so is the folder after --receiver.
    static QStringList DatabaseArguments(const QStringList& arguments);
    // The receiver's folder named with "--receiver DIR" or "--receiver=DIR" (the last one given
    // wins); empty when none is. `error` says what is wrong with it: no folder after the option,
    // or a folder that is not there.
    static QString ReceiverArgument(const QStringList& arguments, QString* error = nullptr);

    // "Velmorix(<date> <time>)  Version:2.32" (vmx::AppTitleText).
    static QString TitleText(const char* buildDate, const char* buildTime);
    // The title of this build (vmx::AppTitle), which the dialogs' message boxes show too.
    static QString Title();

private:
    CVelmorixDoc m_document;
    std::unique_ptr<CMainFrame> m_frame;
};
