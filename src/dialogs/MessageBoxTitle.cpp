#include "dialogs/MessageBoxTitle.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

namespace {

// The window icon, the minimise, maximise and close buttons and the margins of a title bar,
// generous for the usual window managers' themes.
constexpr int kTitleBarDecoration = 160;

} // namespace

int TitleBarWidth(const QMessageBox& box)
{
    QFont font = box.font();
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(box.windowTitle()) + kTitleBarDecoration;
}

void KeepTitleWhole(QMessageBox& box)
{
    // QMessageBox sizes itself from its layout when shown (a minimum width set on the box is
    // overridden), so the width goes into the layout as a spacer across the bottom row.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(new QSpacerItem(TitleBarWidth(box), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
}
