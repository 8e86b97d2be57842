#pragma once

#include <QDialog>

#include <string>
#include <vector>

class QListWidget;
class QPushButton;

// The cut list's small tool window beside the main window: the stretches PR will take out, one a
// line in time order. Selecting one line asks to see that stretch; Start and End ask for the
// picture at either of its ends; Remove takes the selected lines off; Load EDL… and Save EDL…
// read and write the list as an EDL file. It shows what it is given and says what the user asked
// for; the list itself is the cut editor's.
class CCutListDlg : public QDialog {
    Q_OBJECT
public:
    explicit CCutListDlg(QWidget* parent);

    // The lines of the list, in order, with the line at `selected` selected (none when -1).
    void SetLines(const std::vector<std::string>& lines, int selected = -1);
    QListWidget* List() const { return m_list; }
    QPushButton* Button(const QString& caption) const;

signals:
    // Remove was clicked with these rows selected (ascending).
    void removeWanted(const std::vector<int>& rows);
    // One row alone is selected now (-1: none, or several).
    void stretchSelected(int row);
    // Start or End (`end`) was clicked with `row` alone selected.
    void pictureWanted(int row, bool end);
    void loadWanted();
    void saveWanted();

private:
    int SelectedRow() const;
    void EnableButtons();

    QListWidget* m_list;
    std::vector<QPushButton*> m_buttons;
};
