#include "view/CPaneTable.h"

#include <QDropEvent>
#include <QMimeData>

CPaneTable::CPaneTable(int side, QWidget* parent)
    : QTableWidget(parent)
    , m_side(side)
{
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::CopyAction);
}

int CPaneTable::SourceSide(const QMimeData* mime)
{
    if (!mime || !mime->hasFormat(QString::fromLatin1(kPaneMimeType)))
        return -1;
    const QByteArray side = mime->data(QString::fromLatin1(kPaneMimeType));
    return side == "0" ? 0 : side == "1" ? 1 : -1;
}

QMimeData* CPaneTable::mimeData(const QList<QTableWidgetItem*>& items) const
{
    QMimeData* mime = QTableWidget::mimeData(items);
    if (mime)
        mime->setData(QString::fromLatin1(kPaneMimeType), QByteArray::number(m_side));
    return mime;
}

bool CPaneTable::FromOtherPane(const QMimeData* mime) const
{
    const int source = SourceSide(mime);
    return source >= 0 && source != m_side;
}

void CPaneTable::dragEnterEvent(QDragEnterEvent* event)
{
    if (FromOtherPane(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void CPaneTable::dragMoveEvent(QDragMoveEvent* event)
{
    if (FromOtherPane(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void CPaneTable::dropEvent(QDropEvent* event)
{
    // Not the item view's own handling: that would put the rows into this pane.
    if (!FromOtherPane(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit rowsDropped(SourceSide(event->mimeData()));
}
