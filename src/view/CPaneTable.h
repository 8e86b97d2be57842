#pragma once

#include <QStringList>
#include <QTableWidget>

#include <functional>
#include <vector>

class QMimeData;

// A list pane of the main view. Its selected rows can be dragged onto the other pane, which
// then does what AL (left to right) or AR (right to left) does; the pane never takes the rows in
// itself, and a drop on the pane the rows came from does nothing. Files dragged from a file
// manager are taken while the view says so (AcceptFileDrops).
class CPaneTable : public QTableWidget {
    Q_OBJECT
public:
    // The format that names the pane rows were dragged from ("0" left, "1" right).
    static constexpr const char* kPaneMimeType = "application/x-velmorix-pane";

    CPaneTable(int side, QWidget* parent);
    int Side() const { return m_side; }
    // The side whose rows `mime` carries, or -1 when it carries no pane's rows.
    static int SourceSide(const QMimeData* mime);
    // Local files dropped on the pane are announced (filesDropped) while `when` answers true.
    void AcceptFileDrops(std::function<bool()> when) { m_acceptFiles = std::move(when); }

    // The pane's width at the form's design size, and its columns' widths there. In a pane wider
    // than that (a larger or maximised window) the columns widen in proportion, so the rows take
    // the room; at the design size they are as given.
    void SetDesignWidth(int pixels);
    void SetDesignColumns(const std::vector<int>& widths);

signals:
    // Rows of the pane of `sourceSide` were dropped on this pane.
    void rowsDropped(int sourceSide);
    // Files of the PC were dropped on this pane (full paths, in the order given).
    void filesDropped(const QStringList& paths);

protected:
    QMimeData* mimeData(const QList<QTableWidgetItem*>& items) const override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool FromOtherPane(const QMimeData* mime) const;
    // The local files `mime` carries, when this pane takes files now; else nothing.
    QStringList LocalFiles(const QMimeData* mime) const;
    bool Takes(const QMimeData* mime) const { return FromOtherPane(mime) || !LocalFiles(mime).isEmpty(); }

    void FitColumns();

    int m_side;
    std::function<bool()> m_acceptFiles;
    int m_designWidth = 0;
    std::vector<int> m_designColumns;
};
