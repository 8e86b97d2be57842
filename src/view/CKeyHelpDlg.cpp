#include "view/CKeyHelpDlg.h"

#include "dialogs/Utf8Text.h"
#include "view/CQtUserInterface.h"
#include "viewmodel/CommandKeys.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

CKeyHelpDlg::CKeyHelpDlg(QWidget* parent)
    : QDialog(parent)
    , m_table(new QTableWidget(this))
{
    setObjectName(QStringLiteral("keyHelp"));
    setWindowTitle(QStringLiteral("%1 keys").arg(QString::fromLatin1(CQtUserInterface::kAppTitle)));
    m_table->setColumnCount(3);
    m_table->setHorizontalHeaderLabels({QStringLiteral("Key"), QStringLiteral("Button"), QStringLiteral("What it does")});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setFocusPolicy(Qt::NoFocus);
    m_table->setShowGrid(false);
    for (const vmx::CommandKey& command : vmx::CommandKeys()) {
        if (command.key.empty())
            continue;
        const int row = m_table->rowCount();
        m_table->insertRow(row);
        m_table->setItem(row, 0, new QTableWidgetItem(Utf8Text(command.key)));
        m_table->setItem(row, 1, new QTableWidgetItem(Utf8Text(command.button)));
        m_table->setItem(row, 2, new QTableWidgetItem(Utf8Text(command.does)));
    }
    m_table->resizeColumnsToContents();
    m_table->horizontalHeader()->setStretchLastSection(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addWidget(buttons);

    int width = m_table->verticalHeader()->width() + 2 * m_table->frameWidth();
    for (int column = 0; column < m_table->columnCount(); ++column)
        width += m_table->columnWidth(column);
    const int height = m_table->horizontalHeader()->height() + m_table->rowHeight(0) * m_table->rowCount() +
                       2 * m_table->frameWidth();
    m_table->setMinimumSize(width + 8, height + 4);
}
