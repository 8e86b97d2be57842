#include "view/CCutListDlg.h"

#include "dialogs/Utf8Text.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The buttons, two rows of them under the list.
constexpr const char* kStart = "Start";
constexpr const char* kEnd = "End";
constexpr const char* kRemove = "Remove";
constexpr const char* kLoad = "Load EDL\u2026";
constexpr const char* kSave = "Save EDL\u2026";

}  // namespace

CCutListDlg::CCutListDlg(QWidget* parent)
    : QDialog(parent, Qt::Tool)
    , m_list(new QListWidget(this))
{
    setObjectName(QStringLiteral("cutList"));
    setWindowTitle(QStringLiteral("Cut list"));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto* hint = new QLabel(QStringLiteral("PR cuts these stretches out of the recording. Select one to see it and "
                                           "move its marks; A accepts a proposal as it is, Delete takes it off."),
                            this);
    hint->setWordWrap(true);
    auto* buttons = new QGridLayout;
    const char* captions[] = {kStart, kEnd, kRemove, kLoad, kSave};
    for (int i = 0; i < 5; ++i) {
        m_buttons.push_back(new QPushButton(QString::fromUtf8(captions[i]), this));
        // Start, End and Remove in the first row; the file's two in the second, at its right.
        buttons->addWidget(m_buttons.back(), i / 3, i < 3 ? i : i - 2);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addWidget(m_list);
    layout->addLayout(buttons);
    resize(300, 260);
    // Delete in the list is Remove.
    auto* remove = new QShortcut(QKeySequence::Delete, m_list, nullptr, nullptr, Qt::WidgetShortcut);
    connect(remove, &QShortcut::activated, Button(kRemove), &QPushButton::click);
    connect(Button(kRemove), &QPushButton::clicked, this, [this] {
        std::vector<int> rows;
        for (const QListWidgetItem* item : m_list->selectedItems())
            rows.push_back(m_list->row(item));
        std::sort(rows.begin(), rows.end());
        if (!rows.empty())
            emit removeWanted(rows);
    });
    connect(Button(kStart), &QPushButton::clicked, this, [this] { emit pictureWanted(SelectedRow(), false); });
    connect(Button(kEnd), &QPushButton::clicked, this, [this] { emit pictureWanted(SelectedRow(), true); });
    connect(Button(kLoad), &QPushButton::clicked, this, &CCutListDlg::loadWanted);
    connect(Button(kSave), &QPushButton::clicked, this, &CCutListDlg::saveWanted);
    connect(m_list, &QListWidget::itemSelectionChanged, this, [this] {
        EnableButtons();
        emit stretchSelected(SelectedRow());
    });
    EnableButtons();
}

QPushButton* CCutListDlg::Button(const QString& caption) const
{
    for (QPushButton* button : m_buttons) {
        if (button->text() == caption)
            return button;
    }
    return nullptr;
}

int CCutListDlg::SelectedRow() const
{
    const QList<QListWidgetItem*> selected = m_list->selectedItems();
    return selected.size() == 1 ? m_list->row(selected.constFirst()) : -1;
}

void CCutListDlg::EnableButtons()
{
    const bool one = SelectedRow() >= 0;
    Button(kStart)->setEnabled(one);
    Button(kEnd)->setEnabled(one);
    Button(kRemove)->setEnabled(!m_list->selectedItems().isEmpty());
    Button(kSave)->setEnabled(m_list->count() > 0);
}

void CCutListDlg::SetLines(const std::vector<std::string>& lines, int selected)
{
    {
        // Showing the list anew selects nothing the user did.
        const QSignalBlocker quiet(m_list);
        m_list->clear();
        for (std::size_t i = 0; i < lines.size(); ++i)
            m_list->addItem(QStringLiteral("%1.  %2").arg(i + 1).arg(Utf8Text(lines[i])));
        if (selected >= 0 && selected < m_list->count())
            m_list->setCurrentRow(selected);
    }
    EnableButtons();
}
