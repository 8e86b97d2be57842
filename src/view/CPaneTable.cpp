#include "view/CPaneTable.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include <cmath>

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

QStringList CPaneTable::LocalFiles(const QMimeData* mime) const
{
    QStringList paths;
    if (!mime || !mime->hasUrls() || SourceSide(mime) >= 0 || !m_acceptFiles || !m_acceptFiles())
        return paths;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile())
            paths << url.toLocalFile();
    }
    return paths;
}

void CPaneTable::dragEnterEvent(QDragEnterEvent* event)
{
    if (Takes(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void CPaneTable::dragMoveEvent(QDragMoveEvent* event)
{
    if (Takes(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void CPaneTable::dropEvent(QDropEvent* event)
{
    // Not the item view's own handling: that would put the rows into this pane.
    const QMimeData* mime = event->mimeData();
    const QStringList files = LocalFiles(mime);
    if (!FromOtherPane(mime) && files.isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (FromOtherPane(mime))
        emit rowsDropped(SourceSide(mime));
    else
        emit filesDropped(files);
}

void CPaneTable::SetDesignWidth(int pixels)
{
    m_designWidth = pixels;
    FitColumns();
}

void CPaneTable::SetDesignColumns(const std::vector<int>& widths)
{
    m_designColumns = widths;
    FitColumns();
}

void CPaneTable::resizeEvent(QResizeEvent* event)
{
    QTableWidget::resizeEvent(event);
    FitColumns();
}

void CPaneTable::FitColumns()
{
    const double scale = m_designWidth > 0 && width() > m_designWidth ? double(width()) / m_designWidth : 1.0;
    for (std::size_t i = 0; i < m_designColumns.size() && int(i) < columnCount(); ++i)
        setColumnWidth(int(i), int(std::lround(m_designColumns[i] * scale)));
}
