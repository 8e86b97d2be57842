#pragma once

#include "recording/Cut.h"
#include "recording/Merge.h"

#include <QObject>

#include <functional>
#include <memory>
#include <string>

class CCutEditor;
class CDetailsArea;
class CExportQueueDlg;
class CSessionRunner;
class CSettingDlg;
class CViewPlayer;
class QWidget;

// The main view's commands that work a recording over: ME joins its part files into one file on
// the PC, EN converts (after an optional merge) through the encoder settings dialog, PR cuts the
// stretch between the mark bar's marks out of it. The merge and the cut run on the session worker;
// every question and message reaches the user through the user-interface port.
class CProcessCommands : public QObject {
    Q_OBJECT
public:
    // The question EN asks before it opens the settings dialog, and its caption.
    static constexpr const char* kConvertQuestion =
        "If you want to convert a recorded program, \r\nFirst you need to merge the files. Do you wish to merge "
        "files now,\r\n or do you want to convert a pre-existing merged file?";
    static constexpr const char* kConvertCaption = "information";
    // PR while the player plays.
    static constexpr const char* kCutWhilePlayingMessage =
        "Can't Process files while video player is running. Please retry after stopping video.";

    // `dialogParent`: the window over which EN's settings dialog opens; `cutEditor` gives PR its
    // stretches; `exportQueue` gives the window that takes the exports EN queues (made when first
    // asked for).
    CProcessCommands(CSessionRunner& runner, CDetailsArea& details, CViewPlayer& player, CCutEditor& cutEditor,
                     std::function<CExportQueueDlg&()> exportQueue, QWidget* dialogParent);
    ~CProcessCommands() override;

    void Merge();    // ME
    // EN. With an export choice (MKV or MP4) remembered in the encoder settings, the recording is
    // read from its part files: nothing is merged, and the dialog's start queues its export.
    // With the AVI: the merge question, the merge and the mencoder run as ever.
    void Convert();
    void Cut();      // PR

    // The output path of the latest merge that got as far as naming it (empty before any).
    const std::string& LastMergedPath() const { return m_lastMergedPath; }
    // The request the latest PR handed to the session.
    const vmx::CutRequest& LastCutRequest() const { return m_lastCutRequest; }
    // The settings dialog EN has constructed and not yet closed, or null.
    CSettingDlg* SettingsDialog() const { return m_settings.get(); }

private:
    // The merge of the active side's selected recording; `then` hears its result on this
    // thread. False when it did not start (no row selected: the user was told).
    bool RunMerge(std::function<void(const vmx::MergeResult&)> then);
    // Shows EN's settings dialog modally and destroys it when it is closed.
    void ShowSettings();

    CSessionRunner& m_runner;
    CDetailsArea& m_details;
    CViewPlayer& m_player;
    CCutEditor& m_cutEditor;
    std::function<CExportQueueDlg&()> m_exportQueue;
    QWidget* m_dialogParent;
    vmx::CutRequest m_lastCutRequest;
    std::string m_lastMergedPath;
    std::unique_ptr<CSettingDlg> m_settings;
};
