#pragma once

#include "controls/DialogUnits.h"
#include "convert/SettingDlgModel.h"

#include <QDialog>
#include <QHash>
#include <QMessageBox>
#include <QTimer>

class QComboBox;
class QLineEdit;
class QSpinBox;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

// The encoder settings dialog "Encode setting" (template 179): the settings edits, the
// parameter preview, the source and destination choosers, and the encoding run with its
// overall progress bar. Everything it decides lives in vmx::SettingDlgModel; the dialog shows
// that state and reads its edits into it.
//
// The run's end is reported on the runner's thread; the dialog passes it to its own thread
// (a queued call), so every widget, message box and progress-bar change happens there.
// With an export choice in the format list (an MKV or MP4 file instead of the AVI), "Start
// Encoding" hands the exports to the export queue and closes the dialog; the mencoder edits are
// disabled then.
//
// Closing the dialog stops a run that is going on: its encoder is ended and its unfinished
// output removed. Without a run, constructing and destroying the dialog waits for nothing.
class CSettingDlg : public QDialog, private vmx::EncodeRun::Listener {
    Q_OBJECT
public:
    // Reads setting.ini and reloads encoding-custom.ini into the current encoder settings
    // (vmx::ReloadEncodeSettings, through its model).
    explicit CSettingDlg(QWidget* parent = nullptr);
    ~CSettingDlg() override;

    // What the main view calls before showing the dialog, in this order.
    void HandOverMergedFile(const QString& path);
    // With an export choice: the recording "Start Encoding" queues (no merge needed).
    void HandOverRecording(const vmx::RecordDetails& details);
    void SetLastLoadedDbKind(int kind) { m_model.setLastLoadedDbKind(kind); }
    void CopySettingsIn(const EncodeSettings& settings) { m_model.copySettingsIn(settings); }
    // Shows the dialog modally; returns when it is closed.
    int DoModal() { return exec(); }

    // The control of template 179 with that id.
    QWidget* Control(int id) const { return m_controls.value(id); }
    const vmx::SettingDlgModel& Model() const { return m_model; }

signals:
    // "Start Encoding" with an export choice: these exports are to be queued. The dialog closes
    // after it.
    void ExportsRequested(const std::vector<vmx::ExportJobOrder>& exports);

protected:
    void showEvent(QShowEvent* event) override;

public slots:
    void done(int result) override;

private:
    void CreateControls();
    void OnInitDialog();
    void ShowSettings();
    void ShowOutputChoice();
    vmx::SettingTexts ReadTexts() const;
    void ApplyControlState();
    void ShowPreviewOfEdits();
    void ShowPreview(const std::string& text);
    void SetRunButtonsEnabled(bool enabled);

    void OnSourceBrowse();
    void OnDestBrowse();
    void OnInitialize();
    void OnStartEncoding();
    void OnTimer();
    void AddSourceFile(const std::string& path);
    void TellAddResult(vmx::EncodeRun::AddResult result);
    void ShowRunEnd(const vmx::RunOutcome& outcome);

    // vmx::EncodeRun::Listener, on the runner's threads.
    void onRunEnded(const vmx::RunOutcome& outcome) override;

    QLineEdit* Edit(int id) const;
    QComboBox* FormatBox() const;
    QComboBox* SizeBox() const;
    QSpinBox* QualityBox() const;
    int Tell(const QString& text, const QString& caption, QMessageBox::Icon icon,
             QMessageBox::StandardButtons buttons = QMessageBox::Ok);

    vmx::SettingDlgModel m_model;
    vmx::DialogBaseUnits m_units;
    QHash<int, QWidget*> m_controls;
    QPlainTextEdit* m_preview = nullptr;
    QProgressBar* m_progress = nullptr;
    QTimer m_timer;
    bool m_initialised = false;
    bool m_filling = false;  // the edits are being filled from the settings
};
