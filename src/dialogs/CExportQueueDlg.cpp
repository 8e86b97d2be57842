#include "dialogs/CExportQueueDlg.h"

#include "dialogs/Utf8Text.h"
#include "viewmodel/ExportQueueTexts.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

enum Column { kTitle, kFormat, kState, kProgress, kSpeed, kTimeLeft, kColumns };

}  // namespace

CExportQueueDlg::CExportQueueDlg(const std::string& queueFile, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QString::fromLatin1(kCaption));
    setModal(false);
    m_table = new QTableWidget(0, kColumns, this);
    m_table->setHorizontalHeaderLabels({QStringLiteral("Recording"), QStringLiteral("Format"), QStringLiteral("State"),
                                        QStringLiteral("Progress"), QStringLiteral("Speed"), QStringLiteral("Time left")});
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(kTitle, QHeaderView::Stretch);
    m_table->setColumnWidth(kFormat, 140);
    m_table->setColumnWidth(kState, 90);
    m_table->setColumnWidth(kProgress, 120);
    m_problem = new QLabel(this);
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #b00000"));
    m_problem->hide();
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_remove = new QPushButton(QStringLiteral("Remove"), this);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    for (QPushButton* button : {m_cancel, m_remove, close})
        button->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_remove);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addWidget(m_problem);
    layout->addLayout(buttons);
    resize(720, 260);
    connect(m_cancel, &QPushButton::clicked, this, &CExportQueueDlg::OnCancel);
    connect(m_remove, &QPushButton::clicked, this, &CExportQueueDlg::OnRemove);
    connect(close, &QPushButton::clicked, this, &QDialog::hide);
    connect(m_table, &QTableWidget::itemSelectionChanged, this, &CExportQueueDlg::UpdateButtons);
    UpdateButtons();

    // The queue starts its thread here; until then nothing it tells can arrive.
    m_queue = std::make_unique<vmx::ExportQueue>(queueFile, static_cast<vmx::ExportQueue::Listener*>(this));
    bool unfinished = false;
    for (const vmx::ExportJob& job : m_queue->jobs()) {
        ShowJob(job);
        unfinished = unfinished || !job.finished();
    }
    // Jobs a restart interrupted, or that waited, run now: the window shows them once the
    // program's windows are up.
    if (unfinished)
        QTimer::singleShot(0, this, &CExportQueueDlg::ShowBeside);
}

CExportQueueDlg::~CExportQueueDlg()
{
    m_queue.reset();
}

void CExportQueueDlg::Queue(const std::vector<vmx::ExportJobOrder>& exports)
{
    for (const vmx::ExportJobOrder& order : exports) {
        vmx::ExportJob job;
        job.order = order;
        job.id = m_queue->add(order);
        ShowJob(job);  // listed at once; the queue's notices bring its state
    }
    ShowBeside();
}

void CExportQueueDlg::ShowBeside()
{
    if (!isVisible()) {
        if (QWidget* owner = parentWidget()) {
            const QRect frame = owner->window()->frameGeometry();
            QPoint at(frame.right() + 8, frame.top());
            if (const QScreen* screen = owner->screen(); screen && at.x() + width() > screen->availableGeometry().right())
                at.setX(std::max(screen->availableGeometry().left(), frame.left() + frame.width() - width()));
            move(at);
        }
        show();
    }
    raise();
}

int CExportQueueDlg::RowOf(std::uint64_t id) const
{
    for (int row = 0; row < m_table->rowCount(); ++row)
        if (m_table->item(row, kTitle)->data(Qt::UserRole).toULongLong() == id)
            return row;
    return -1;
}

void CExportQueueDlg::ShowJob(const vmx::ExportJob& job)
{
    if (job.id == 0)
        return;
    int row = RowOf(job.id);
    if (row < 0) {
        row = m_table->rowCount();
        m_table->insertRow(row);
        for (int column = 0; column < kColumns; ++column)
            if (column != kProgress)
                m_table->setItem(row, column, new QTableWidgetItem);
        m_table->item(row, kTitle)->setData(Qt::UserRole, QVariant::fromValue<qulonglong>(job.id));
        auto* bar = new QProgressBar;
        bar->setRange(0, 100);
        m_table->setCellWidget(row, kProgress, bar);
    }
    const bool running = job.state == vmx::ExportJobState::Running;
    m_table->item(row, kTitle)->setText(Utf8Text(job.order.title));
    m_table->item(row, kTitle)->setToolTip(Utf8Text(job.outputPath.empty() ? job.order.outputFolder : job.outputPath));
    m_table->item(row, kFormat)->setText(Utf8Text(vmx::ExportFormatText(job.order)));
    m_table->item(row, kState)->setText(Utf8Text(vmx::ExportStateText(job)));
    m_table->item(row, kState)->setToolTip(Utf8Text(job.message));
    m_table->item(row, kSpeed)->setText(running ? Utf8Text(vmx::ExportSpeedText(job.progress.bytesPerSecond)) : QString());
    m_table->item(row, kTimeLeft)
        ->setText(running ? Utf8Text(vmx::ExportTimeLeftText(job.progress.secondsLeft)) : QString());
    static_cast<QProgressBar*>(m_table->cellWidget(row, kProgress))->setValue(job.progress.percent);
    m_finished.insert(job.id, job.finished());
    UpdateButtons();
}

void CExportQueueDlg::RemoveRow(std::uint64_t id)
{
    if (const int row = RowOf(id); row >= 0)
        m_table->removeRow(row);
    m_finished.remove(id);
    UpdateButtons();
}

std::uint64_t CExportQueueDlg::SelectedId() const
{
    const QList<QTableWidgetItem*> selected = m_table->selectedItems();
    if (selected.isEmpty())
        return 0;
    return m_table->item(selected.front()->row(), kTitle)->data(Qt::UserRole).toULongLong();
}

void CExportQueueDlg::UpdateButtons()
{
    const std::uint64_t id = SelectedId();
    m_cancel->setEnabled(id != 0 && !m_finished.value(id, true));
    m_remove->setEnabled(id != 0 && m_finished.value(id, false));
}

void CExportQueueDlg::OnCancel()
{
    if (const std::uint64_t id = SelectedId())
        m_queue->cancel(id);
}

void CExportQueueDlg::OnRemove()
{
    if (const std::uint64_t id = SelectedId(); id != 0 && m_queue->remove(id))
        RemoveRow(id);
}

void CExportQueueDlg::onJobChanged(const vmx::ExportJob& job)
{
    QMetaObject::invokeMethod(this, [this, job] { ShowJob(job); }, Qt::QueuedConnection);
}

void CExportQueueDlg::onJobRemoved(std::uint64_t id)
{
    QMetaObject::invokeMethod(this, [this, id] { RemoveRow(id); }, Qt::QueuedConnection);
}

void CExportQueueDlg::onProblem(const std::string& message)
{
    QMetaObject::invokeMethod(
        this,
        [this, text = Utf8Text(message)] {
            m_problem->setText(text);
            m_problem->show();
            ShowBeside();
        },
        Qt::QueuedConnection);
}
