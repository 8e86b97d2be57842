#pragma once

#include <QDialog>

#include <string>
#include <vector>

class QListWidget;
class QPushButton;

// The cut list's small tool window beside the main window: the stretches PR will take out, one a
// line in time order, and Remove for the selected ones. It shows what it is given and says what
// the user asked for; the list itself is the cut editor's.
class CCutListDlg : public QDialog {
    Q_OBJECT
public:
    explicit CCutListDlg(QWidget* parent);

    // The lines of the list, in order.
    void SetLines(const std::vector<std::string>& lines);
    QListWidget* List() const { return m_list; }
    QPushButton* RemoveButton() const { return m_remove; }

signals:
    // Remove was clicked with these rows selected (ascending).
    void removeWanted(const std::vector<int>& rows);

private:
    QListWidget* m_list;
    QPushButton* m_remove;
};
