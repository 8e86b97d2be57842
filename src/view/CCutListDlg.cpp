#include "view/CCutListDlg.h"

#include "dialogs/Utf8Text.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>

CCutListDlg::CCutListDlg(QWidget* parent)
    : QDialog(parent, Qt::Tool)
    , m_list(new QListWidget(this))
    , m_remove(new QPushButton(QStringLiteral("Remove"), this))
{
    setObjectName(QStringLiteral("cutList"));
    setWindowTitle(QStringLiteral("Cut list"));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto* hint = new QLabel(QStringLiteral("PR cuts these stretches out of the recording. Delete or Remove takes the selected ones off."), this);
    hint->setWordWrap(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_remove);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addWidget(m_list);
    layout->addLayout(buttons);
    resize(210, 220);
    // Delete in the list is Remove.
    auto* remove = new QShortcut(QKeySequence::Delete, m_list, nullptr, nullptr, Qt::WidgetShortcut);
    connect(remove, &QShortcut::activated, m_remove, &QPushButton::click);
    connect(m_remove, &QPushButton::clicked, this, [this] {
        std::vector<int> rows;
        for (const QListWidgetItem* item : m_list->selectedItems())
            rows.push_back(m_list->row(item));
        std::sort(rows.begin(), rows.end());
        if (!rows.empty())
            emit removeWanted(rows);
    });
}

void CCutListDlg::SetLines(const std::vector<std::string>& lines)
{
    m_list->clear();
    for (std::size_t i = 0; i < lines.size(); ++i)
        m_list->addItem(QStringLiteral("%1.  %2").arg(i + 1).arg(Utf8Text(lines[i])));
    m_remove->setEnabled(!lines.empty());
}
