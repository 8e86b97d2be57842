#pragma once

#include "convert/ExportQueue.h"

#include <QDialog>
#include <QHash>

#include <memory>
#include <string>

class QLabel;
class QPushButton;
class QTableWidget;

// The export queue window "Export queue": one row per job with its title, format, state, a
// progress bar, the speed and the time left; "Cancel" for the selected waiting or running job,
// "Remove" for a finished one. Modeless, beside the main window.
//
// It owns the program's one export queue, made with the window, so that a job a restart
// interrupted starts again at once; while the queue has jobs to run the window shows itself. The
// queue tells its changes on its own thread; they reach the widgets as queued calls on the
// user-interface thread.
class CExportQueueDlg : public QDialog, private vmx::ExportQueue::Listener {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Export queue";

    // `queueFile`: where the queue keeps its list (empty: nowhere).
    CExportQueueDlg(const std::string& queueFile, QWidget* parent = nullptr);
    // Stops a running job, which runs again at the next start.
    ~CExportQueueDlg() override;

    // Adds the exports to the queue and shows the window beside its parent.
    void Queue(const std::vector<vmx::ExportJobOrder>& exports);
    // Shows the window beside its parent (or raises it).
    void ShowBeside();

    vmx::ExportQueue& ExportQueue() { return *m_queue; }
    QTableWidget* Table() const { return m_table; }

private:
    void ShowJob(const vmx::ExportJob& job);
    void RemoveRow(std::uint64_t id);
    int RowOf(std::uint64_t id) const;
    std::uint64_t SelectedId() const;
    void UpdateButtons();
    void OnCancel();
    void OnRemove();

    // vmx::ExportQueue::Listener, on the queue's thread.
    void onJobChanged(const vmx::ExportJob& job) override;
    void onJobRemoved(std::uint64_t id) override;
    void onProblem(const std::string& message) override;

    QTableWidget* m_table = nullptr;
    QLabel* m_problem = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_remove = nullptr;
    QHash<quint64, bool> m_finished;  // by job id: finished jobs may be removed, others cancelled
    std::unique_ptr<vmx::ExportQueue> m_queue;  // last: gone before what it reports to
};
